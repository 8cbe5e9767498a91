#pragma once

#include <QString>
#include <memory>

class MUDDocument;
class MUDJavascriptActionSource;

// The `#` commands a session handles itself (#stop, #vars, #setTimer, ...),
// tried in a fixed order; what none of them takes goes to the server.
// Main thread.
class MUDClientCommands {
public:
    using ActionSource = std::shared_ptr<MUDJavascriptActionSource>;

    enum class Outcome {
        NotHandled, // not a client command: send it
        Continue, // handled; go on with the line's next command
        EndsLine, // handled; drop the rest of the line
        Stops, // #stop: drop the rest of the line and what earlier lines left waiting
    };

    explicit MUDClientCommands(MUDDocument& document);

    Outcome process(const QString& command, const ActionSource& actionSource);

    // The listings, as appended to the output.
    QString variablesListing() const;
    QString autocompleteListing() const;
    QString aliasesListing() const;
    QString telnetListing() const;

private:
    void echo(const QString& command);
    void append(const QString& text, bool requiresNewline);
    void clearTimer(const QString& command, const ActionSource& actionSource);
    void setTimer(const QString& command, const ActionSource& actionSource);
    void setAlias(const QString& command);
    void setVariable(const QString& command);
    void testStartup();
    void testColors();

    MUDDocument& m_document;
};
