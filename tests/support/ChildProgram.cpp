#include "ChildProgram.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "TestSupport.h"

namespace {

// A NUL-terminated array of C strings for posix_spawn, owning its storage.
class CStringArray {
public:
    explicit CStringArray(const QStringList& strings)
    {
        for (const QString& string : strings)
            m_storage.push_back(string.toLocal8Bit());
        for (QByteArray& bytes : m_storage)
            m_pointers.push_back(bytes.data());
        m_pointers.push_back(nullptr);
    }
    char* const* data() { return m_pointers.data(); }

private:
    std::vector<QByteArray> m_storage;
    std::vector<char*> m_pointers;
};

}

ChildProgram::~ChildProgram()
{
    if (isRunning())
        stop(2000);
    closePipes();
}

bool ChildProgram::start(const QString& program, const QStringList& arguments, const QProcessEnvironment& environment,
                         const QString& workingDirectory)
{
    int input[2];
    int output[2];
    if (pipe2(input, O_CLOEXEC) != 0 || pipe2(output, O_CLOEXEC) != 0) {
        m_errorText = QStringLiteral("pipe: %1").arg(QString::fromLocal8Bit(strerror(errno)));
        return false;
    }
    // A write after the program ended must fail, not end the test.
    signal(SIGPIPE, SIG_IGN);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, input[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, output[1], STDERR_FILENO);
    const QByteArray directory = workingDirectory.toLocal8Bit();
    if (!directory.isEmpty())
        posix_spawn_file_actions_addchdir_np(&actions, directory.constData());
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);

    CStringArray argv(QStringList{program} + arguments);
    CStringArray envp(environment.toStringList());
    const QByteArray path = program.toLocal8Bit();
    const int result = posix_spawn(&m_pid, path.constData(), &actions, &attributes, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    ::close(input[0]);
    ::close(output[1]);
    m_input = input[1];
    m_output = output[0];
    if (result != 0) {
        m_pid = -1;
        closePipes();
        m_errorText = QStringLiteral("%1: %2").arg(program, QString::fromLocal8Bit(strerror(result)));
        return false;
    }
    fcntl(m_output, F_SETFL, fcntl(m_output, F_GETFL) | O_NONBLOCK);
    return true;
}

bool ChildProgram::isRunning()
{
    if (m_pid <= 0)
        return false;
    int status = 0;
    if (waitpid(m_pid, &status, WNOHANG) != m_pid)
        return true;
    m_pid = -1;
    m_exitedNormally = WIFEXITED(status);
    m_exitCode = m_exitedNormally ? WEXITSTATUS(status) : -1;
    return false;
}

QByteArray ChildProgram::readOutput()
{
    readAvailable();
    QByteArray output;
    output.swap(m_pending);
    return output;
}

bool ChildProgram::write(const QByteArray& bytes)
{
    qsizetype written = 0;
    while (m_input >= 0 && written < bytes.size()) {
        const ssize_t count = ::write(m_input, bytes.constData() + written, bytes.size() - written);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            return false;
        written += count;
    }
    return written == bytes.size();
}

void ChildProgram::closeInput()
{
    if (m_input >= 0)
        ::close(m_input);
    m_input = -1;
}

bool ChildProgram::waitForFinished(int timeoutMs)
{
    // Output is drained meanwhile: a program blocked on a full pipe never ends.
    return waitUntil(
        [this] {
            readAvailable();
            return !isRunning();
        },
        timeoutMs);
}

void ChildProgram::stop(int graceMs)
{
    if (!isRunning())
        return;
    ::kill(m_pid, SIGTERM);
    if (waitForFinished(graceMs))
        return;
    ::kill(m_pid, SIGKILL);
    waitForFinished(2000);
}

void ChildProgram::readAvailable()
{
    char buffer[4096];
    for (int reads = 0; m_output >= 0 && reads < 256; ++reads) {
        const ssize_t count = ::read(m_output, buffer, sizeof buffer);
        if (count <= 0)
            return;
        m_pending.append(buffer, count);
    }
}

void ChildProgram::closePipes()
{
    closeInput();
    if (m_output >= 0)
        ::close(m_output);
    m_output = -1;
}
