#pragma once

#include <QMainWindow>
#include <QPointer>
#include <functional>
#include <memory>

#include "app/session/MUDWindowState.h"
#include "app/views/MUDCommandTextViewDelegate.h"

class MUDCertificateSheet;
class MUDCommandTextView;
class MUDConnection;
class MUDDesktopIntegration;
class MUDDisplayScrollView;
class MUDDocument;
class MUDViewScriptErrorWindowController;
class MUDSocketSecurity;
class QLabel;
class QMenu;
class QToolButton;

// The window of one session: the output view above a separator, and below
// it the history button, the reconnect button, a lock while the connection
// is secure, and the input line. It owns
// its MUDDocument, paints the document's output, wires the buttons and the
// input line to it, makes blinking text blink, restores the saved window
// frame and, when it closes, saves the frames and closes the document.
// Main thread.
class MUDSessionWindow : public QMainWindow, public MUDCommandTextViewDelegate {
    Q_OBJECT
public:
    static constexpr int BlinkIntervalMs = 1000;
    // A first-time window is centred this long after it appears.
    static constexpr int CentreDelayMs = 500;
    // The state is saved this long after the input line changes height.
    static constexpr double SaveStateDelay = 0.25;
    static constexpr int ButtonSize = 26;

    explicit MUDSessionWindow(MUDDesktopIntegration* desktop, QWidget* parent = nullptr);
    ~MUDSessionWindow() override;

    MUDDocument& document() { return *m_document; }
    // Gives the session its connection, restores the saved window state and connects.
    void openConnection(std::shared_ptr<MUDConnection> connection);

    MUDDisplayScrollView* outputView() const { return m_outputView; }
    MUDCommandTextView* commandTextView() const { return m_commandTextView; }
    QToolButton* historyButton() const { return m_historyButton; }
    QToolButton* reconnectButton() const { return m_reconnectButton; }
    // The lock beside the input line, shown while the connection is secure.
    QLabel* secureMark() const { return m_secureMark; }
    // The sheet asking the player about a refused certificate, while it is up.
    MUDCertificateSheet* certificateSheet() const;
    // The history menu as it would pop up now: newest entry first.
    QMenu* historyMenu();
    // The script error window a "(details)" link opened, while it is open.
    MUDViewScriptErrorWindowController* scriptErrorWindow() const;

    // The frames saved with the session; child windows (messages, exits)
    // add theirs through the provider.
    MUDWindowState::Frames currentWindowFrames() const;
    void setChildWindowFramesProvider(std::function<MUDWindowState::Frames()> provider);

    // MUDCommandTextViewDelegate
    void MUDCommandTextViewReturnKey(MUDCommandTextView* view) override;
    void MUDCommandTextViewUpArrow(MUDCommandTextView* view) override;
    void MUDCommandTextViewDownArrow(MUDCommandTextView* view) override;
    QStringList MUDCommandTextWantsKeywords(MUDCommandTextView* view) override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void buildContent();
    // The output view and the input line in the session font (MUDDocument::localFont).
    void applyOutputFont();
    void applyAccessibilitySettings();
    // Tells the session how many characters the output view holds.
    void reportWindowSize();
    void connectDocument();
    void applyRestoredWindowState(bool hasState);
    void centreWindow();
    void updateBlink();
    void frameDidChange(int height);
    void onHistory();
    void applyMatchTest();
    void saveWindowState();
    void showSecurityStatus(const QString& statusText);
    void askToTrustCertificate(const MUDSocketSecurity& security);

    std::unique_ptr<MUDDocument> m_document;
    MUDDisplayScrollView* m_outputView = nullptr;
    MUDCommandTextView* m_commandTextView = nullptr;
    QToolButton* m_historyButton = nullptr;
    QToolButton* m_reconnectButton = nullptr;
    QLabel* m_secureMark = nullptr;
    QPointer<MUDCertificateSheet> m_certificateSheet;
    QMenu* m_historyMenu = nullptr;
    QPointer<MUDViewScriptErrorWindowController> m_scriptErrorWindow;
    std::function<MUDWindowState::Frames()> m_childWindowFramesProvider;
    int m_lastFrameHeight = 0;
    bool m_blinkStarted = false;
};
