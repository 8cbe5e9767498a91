#pragma once

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <sys/types.h>

// A program a test starts and drives: its standard input is a pipe, its
// standard output and error are merged into another.
//
// Started with posix_spawn rather than QProcess: Qt starts a program through
// a vfork-style clone whose child runs in the parent's memory and calls
// functions ThreadSanitizer intercepts. The sanitizer then loses track of
// the starting thread's synchronisation for the rest of the run, and every
// later hand-over from that thread (a plain mutex included) is reported as a
// data race in code that is fine.
//
// Threads: the thread that created it. Waiting spins the main thread's event
// loop, so session threads that call into the main thread go on meanwhile.
class ChildProgram {
public:
    ChildProgram() = default;
    // Ends a program still running: terminate, then kill.
    ~ChildProgram();
    ChildProgram(const ChildProgram&) = delete;
    ChildProgram& operator=(const ChildProgram&) = delete;

    bool start(const QString& program, const QStringList& arguments,
               const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment(),
               const QString& workingDirectory = QString());
    QString errorText() const { return m_errorText; }

    bool isRunning();
    // Output that arrived since the last call, without waiting.
    QByteArray readOutput();
    bool write(const QByteArray& bytes);
    // Ends the program's input (it reads end of file).
    void closeInput();

    // True once the program ended within `timeoutMs`.
    bool waitForFinished(int timeoutMs);
    // Asks the program to end (SIGTERM), then kills it if it has not ended
    // within `graceMs`.
    void stop(int graceMs = 5000);
    // After the end: whether it exited by itself, and with which code.
    bool exitedNormally() const { return m_exitedNormally; }
    int exitCode() const { return m_exitCode; }

private:
    void readAvailable();
    void closePipes();

    pid_t m_pid = -1;
    int m_input = -1;
    int m_output = -1;
    QByteArray m_pending;
    QString m_errorText;
    bool m_exitedNormally = false;
    int m_exitCode = -1;
};
