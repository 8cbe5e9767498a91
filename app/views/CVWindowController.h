#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <QPointer>
#include <functional>

class QToolButton;

// The application's base for sheets and panels. A controller is shown over a
// parent window either as a window-modal sheet or as a centred child window;
// either way the parent's content is dimmed until the controller ends, and
// the completion handler then receives the return code exactly once.
// Escape, the window's close box and the optional close button end with 0.
// Subclasses declare Q_OBJECT so the log lines carry their class name.
// Main thread (ending from another thread is tolerated: it is logged and
// carried over to the main thread).
class CVWindowController : public QDialog {
    Q_OBJECT
public:
    using CompletionHandler = std::function<void(int returnCode)>;

    static constexpr int ReturnCodeCancel = 0;
    static constexpr int ReturnCodeOK = 1;
    // The wait of an end called from a background thread before the window
    // is taken down.
    static constexpr int BackgroundCloseDelayMs = 250;

    explicit CVWindowController(QWidget* parent = nullptr);
    ~CVWindowController() override;

    // A window-modal sheet over `window`, with its content dimmed.
    void beginSheetModalForWindow(QWidget* window, CompletionHandler handler);
    // A child window centred over `window`, which is dimmed the same way.
    void beginCenterWindow(QWidget* window, CompletionHandler handler);
    // 0 cancel, 1 OK: logs, removes the dimming, closes and calls the handler.
    void endSheetWithReturnCode(int returnCode);
    // Moves this window so it is centred over `window`.
    void centerOverWindow(QWidget* window);
    // A close button at the top left corner that ends with 0; also answers Ctrl+W.
    void addCloseButton();

    // The dimming over the parent while shown (tests look at it).
    QWidget* dimmingView() const { return m_dimmingView; }
    QToolButton* closeButton() const { return m_closeButton; }

    // How that thread waits: it sleeps, unless a test records the wait instead.
    void setBackgroundClosePause(std::function<void(int ms)> pause) { m_backgroundClosePause = std::move(pause); }

    // Routes accept, reject and Escape through endSheetWithReturnCode.
    void done(int returnCode) override;

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void begin(QWidget* window, CompletionHandler handler, Qt::WindowModality modality);
    void dimWindow(QWidget* window);
    void removeDimming();
    void finishSheet(int returnCode);
    QString className() const;

    CompletionHandler m_handler;
    QPointer<QWidget> m_dimmingView;
    QToolButton* m_closeButton = nullptr;
    QElapsedTimer m_visibleTimer;
    std::function<void(int ms)> m_backgroundClosePause;
    // Shown and not yet ended.
    bool m_active = false;
};
