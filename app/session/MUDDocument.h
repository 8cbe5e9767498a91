#pragma once

#include <QColor>
#include <QFont>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <memory>

#include "app/session/MUDWindowState.h"
#include "core/CVAttributedString.h"
#include "engine/automation/MUDExit.h"
#include "engine/automation/MUDMessage.h"
#include "engine/automation/MUDScriptLists.h"
#include "engine/decoding/ANSIDataProcessorResults.h"
#include "engine/decoding/MUDOutputModel.h"
#include "engine/decoding/MUDStringColoring.h"

class MUDAutoLogin;
class MUDCommandInput;
class MUDCommandPipeline;
class MUDCommandTimers;
class MUDConnection;
class MUDDesktopIntegration;
class MUDJavascriptActionSource;
class MUDJavascriptProcessor;
class MUDKeywordProcessor;
class MUDReconnectCountdown;
class MUDScriptBridge;
class MUDSessionProxyBridge;
class MUDSessionReceiver;
class MUDSessionSecurity;
class MUDSessionGMCP;
class MUDSessionTelnet;
class MUDSocket;
class MUDSessionTriggers;

// One open session: binds a connection record to its output, its socket,
// decoder, style state, trigger processor, keyword collector, script
// runtime and command timers. Connects, turns received bytes into styled
// output and hands the recent output to the triggers. The command side
// lives in MUDCommandPipeline, the scripts' callbacks in MUDScriptBridge,
// the login steps in MUDAutoLogin and reconnecting in
// MUDReconnectCountdown. It owns no widget: the session window wraps it and
// paints output(). Main thread (received bytes are decoded on the socket's
// loop thread by MUDSessionReceiver and arrive here on the main thread).
class MUDDocument : public QObject {
    Q_OBJECT
public:
    // How long a local echo waits after recent server text.
    static constexpr double LocalEchoDelay = 0.15;

    explicit MUDDocument(MUDDesktopIntegration* desktop, QObject* parent = nullptr);
    ~MUDDocument() override;

    static QString mudDocumentClosedNotificationName();
    static QColor localCommandColor();
    static QColor errorMessageColor();
    static QColor debugMessageColor();
    static QColor triggerDebugColor();
    static QColor disconnectColor();
    static QFont localFont();

    std::shared_ptr<MUDConnection> connection() const { return m_connection; }
    void setConnection(std::shared_ptr<MUDConnection> connection);
    // The window title: the connection's title, or "host:port" for an
    // unsaved connection (one without a title).
    QString displayName() const { return m_displayName; }
    static QString displayNameFor(const MUDConnection& connection);
    // An unsaved session's connection has just been stored: the session goes
    // on under the stored record, without touching its window or socket.
    void adoptStoredConnection(std::shared_ptr<MUDConnection> stored);

    // A new socket, trigger processor and keyword collector for the
    // connection, then the connect attempt.
    void connectToServer();
    void onReconnect() { connectToServer(); }

    // Output.
    MUDOutputModel& output() { return m_output; }
    const MUDOutputModel& output() const { return m_output; }
    void appendText(const CVAttributedString& text) { appendText(text, false); }
    void appendText(const CVAttributedString& text, bool requiresNewline);
    void appendLocalText(const CVAttributedString& text, bool requiresNewline);
    void appendAttributedString(const CVAttributedString& text);
    void logMessageToContents(const QString& message);
    void clearOutput();
    // `text` in `color`, as local text.
    static CVAttributedString coloredString(const QString& text, const QColor& color);

    // The view follows the output to its end (forced: even when scrolled up).
    void scrollToEnd(bool force) { emit scrollToEndRequested(force); }
    // Tests set the wall clock (seconds since 1970) the echo delay reads.
    void setClock(std::function<double()> secondsSince1970) { m_clock = std::move(secondsSince1970); }
    MUDReconnectCountdown& reconnectCountdown() { return *m_reconnectCountdown; }

    // The trigger processor and when and where it looks at the output.
    MUDSessionTriggers& triggers() { return *m_triggers; }

    // Socket reports (main thread, through the receiver).
    void MUDSocketHasConnected(MUDSocket* socket);
    void MUDSocketHasDisconnected(MUDSocket* socket);
    void MUDSocketConnectionFailed(MUDSocket* socket, const QString& errorMessage);
    // Decoded batches, in order (main thread).
    void ANSIDataProcessorReceived(const ANSIDataProcessorResults& results);
    // Feeds bytes to the decoder as if the server had sent them.
    void processDataLocally(QByteArrayView data);

    // Command side (MUDCommandPipeline).
    void processCommand(const QString& command, const std::shared_ptr<MUDJavascriptActionSource>& actionSource);
    void sendRawCommand(const QString& command, const std::shared_ptr<MUDJavascriptActionSource>& actionSource);
    void MUDCommandTextViewReturnKey();
    void MUDCommandTextViewUpArrow();
    void MUDCommandTextViewDownArrow();
    void onHistoryItem(qsizetype index);
    QStringList MUDCommandTextWantsKeywords() const;
    void processViewerCommand(const QString& command);
    // The history and the command counts.
    const MUDCommandPipeline& commandPipeline() const { return *m_commandPipeline; }
    void setCommandInput(MUDCommandInput* input) { m_commandInput = input; }
    MUDCommandInput* commandInput() const { return m_commandInput; }

    // Messages and exits reported by scripts (their windows show them).
    QList<MUDMessage> messages() const { return m_messages; }
    void addMessage(const MUDMessage& message);
    void clearMessages();
    QString exitsText() const { return m_exitsText; }
    void setExits(const QList<MUDExit>& exits);
    QVariant mudMatchTest() const { return m_mudMatchTest; }

    // Named command timers (#setTimer, #clearTimer).
    MUDCommandTimers& timers() { return *m_timers; }

    // Export, state and closing.
    QString xmlStringRepresentation() const;
    void saveWindowState();
    void restoreWindowState();
    // The windows' current frames, kept up to date by the session window;
    // without one "windowFrame" is saved as the zero rectangle.
    void setWindowFrames(const MUDWindowState::Frames& frames) { m_windowFrames = frames; }
    // What the last restore read (empty when the state file was missing).
    MUDWindowState::Frames restoredWindowFrames() const { return m_restoredWindowFrames; }
    QString windowStatePath() const;
    void close();
    bool isClosed() const { return m_closed; }
    // `#close`: asks the window to close, which closes the session.
    void requestClose() { emit closeRequested(); }

    // Sharing the session with local viewers through a proxy server. Start
    // shows the port (or why none could be bound) in the output; stop and
    // close end the server and its viewers. sharingChanged reports each change.
    void startSharing();
    void stopSharing();
    bool isSharing() const;
    MUDSessionProxyBridge& proxyBridge() const { return *m_proxyBridge; }
    // The proxy bridge reports that sharing started or stopped.
    void reportSharing(bool sharing) { emit sharingChanged(sharing); }

    // Whether the session window is shown; the countdown runs only then.
    bool isWindowVisible() const { return m_windowVisible; }
    void setWindowVisible(bool visible) { m_windowVisible = visible; }

    // Fields the pipeline, the bridge and tests read.
    MUDSocket* mudSocket() const { return m_mudSocket.get(); }
    bool isConnected() const;
    std::shared_ptr<MUDJavascriptProcessor> javascriptProcessor() const { return m_mudJavascriptProcessor; }
    MUDKeywordProcessor* keywordProcessor() const { return m_mudKeywordProcessor.get(); }
    MUDStringColoring& stringColorer() { return m_stringColorer; }
    MUDDesktopIntegration* desktop() const { return m_desktop; }
    MUDScriptBridge& scriptBridge() const { return *m_scriptBridge; }
    // The TLS status and the refused certificates the player is asked about.
    MUDSessionSecurity& security() const { return *m_security; }
    // The telnet options of the current connection.
    MUDSessionTelnet& telnet() const { return *m_telnet; }
    // GMCP for scripts and triggers.
    MUDSessionGMCP& gmcp() const { return *m_gmcp; }

    bool captureOutput() const { return m_captureOutput; }
    void setCaptureOutput(bool capture) { m_captureOutput = capture; }
    bool isReconnectButtonHidden() const { return m_reconnectButtonHidden; }
    bool isHistoryButtonEnabled() const { return m_historyButtonEnabled; }
    bool isInputEditable() const { return m_inputEditable; }
    void setHistoryButtonEnabled(bool enabled);
    // While the server echoes (it said IAC WILL ECHO, as it does around a
    // password prompt) a typed line is a password: masked in the input line,
    // sent as typed and kept nowhere (MUDCommandPipeline). It ends with IAC
    // WONT ECHO, a disconnect or the next connect.
    bool isPasswordMode() const { return m_passwordMode; }
    void setPasswordMode(bool passwordMode);

signals:
    void reconnectButtonHiddenChanged(bool hidden);
    void historyButtonEnabledChanged(bool enabled);
    void inputEditableChanged(bool editable);
    void passwordModeChanged(bool passwordMode);
    void messagesChanged();
    void exitsChanged();
    // The window should scroll to the end (forced: even when scrolled up).
    void scrollToEndRequested(bool force);
    // `#close`: the window should close (which closes the session).
    void closeRequested();
    // After setConnection: the saved frames to apply (hasState false: centre
    // the window instead).
    void windowStateRestored(bool hasState);
    // The trigger editor posted a match test (a MUDMatchTest) or cleared it.
    void mudMatchTestChanged();
    // Sharing on a local port started or stopped.
    void sharingChanged(bool sharing);

private:
    void hideConnectButton(bool hide);
    void receivedText(const MUDStyledText& text);
    // Server text into the output, on to viewers, and the view told to follow.
    template<typename Text> void appendServerText(const Text& text);
    void onNotification(const QString& name, const QVariant& object);
    void triggersHaveBeenModified(const QVariant& object);
    void aliasesHaveBeenModified(const QVariant& object);
    void replaceSocket(std::shared_ptr<MUDSocket> socket);

    MUDDesktopIntegration* m_desktop;
    std::shared_ptr<MUDConnection> m_connection;
    QString m_displayName;
    std::shared_ptr<MUDSocket> m_mudSocket;
    std::shared_ptr<MUDSessionReceiver> m_receiver;
    std::shared_ptr<MUDSessionProxyBridge> m_proxyBridge;
    MUDStringColoring m_stringColorer;
    std::unique_ptr<MUDScriptBridge> m_scriptBridge;
    std::shared_ptr<MUDJavascriptProcessor> m_mudJavascriptProcessor;
    std::unique_ptr<MUDKeywordProcessor> m_mudKeywordProcessor;
    std::unique_ptr<MUDCommandPipeline> m_commandPipeline;
    std::unique_ptr<MUDAutoLogin> m_autoLogin;
    std::unique_ptr<MUDReconnectCountdown> m_reconnectCountdown;
    std::unique_ptr<MUDSessionTriggers> m_triggers;
    std::unique_ptr<MUDCommandTimers> m_timers;
    std::unique_ptr<MUDSessionSecurity> m_security;
    std::unique_ptr<MUDSessionTelnet> m_telnet;
    std::unique_ptr<MUDSessionGMCP> m_gmcp;
    MUDCommandInput* m_commandInput = nullptr;
    MUDOutputModel m_output;

    // When server text last arrived, in whole seconds since 1970.
    qint64 m_lastReceivedTime = 0;
    bool m_captureOutput = false;
    QList<MUDMessage> m_messages;
    QString m_exitsText;
    QVariant m_mudMatchTest;
    MUDWindowState::Frames m_windowFrames;
    MUDWindowState::Frames m_restoredWindowFrames;

    bool m_reconnectButtonHidden = true;
    bool m_historyButtonEnabled = false;
    bool m_inputEditable = false;
    bool m_passwordMode = false;
    bool m_windowVisible = true;
    bool m_closed = false;
    std::function<double()> m_clock;
    QMetaObject::Connection m_notificationConnection;
};
