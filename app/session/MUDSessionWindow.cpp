#include "app/session/MUDSessionWindow.h"

#include <QCloseEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QScreen>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/scripting/MUDViewScriptErrorWindowController.h"
#include "app/session/MUDCertificateSheet.h"
#include "app/session/MUDCommandPipeline.h"
#include "app/session/MUDDocument.h"
#include "app/session/MUDScriptBridge.h"
#include "app/session/MUDSessionSecurity.h"
#include "app/session/MUDSessionTelnet.h"
#include "app/views/MUDCommandTextView.h"
#include "app/views/MUDDisplayLayoutManager.h"
#include "app/views/MUDDisplayScrollView.h"
#include "app/views/MUDDisplayTextView.h"
#include "app/views/MUDImageLibrary.h"
#include "app/views/MUDMenuItemTitle.h"
#include "core/LVDebounce.h"
#include "engine/automation/MUDMatchTest.h"
#include "engine/storage/MUDUserSettings.h"

namespace {
const QString kWindowFrameKey = QStringLiteral("windowFrame");
constexpr QSize kDefaultSize(900, 640);
constexpr int kInset = 5;
}

MUDSessionWindow::MUDSessionWindow(MUDDesktopIntegration* desktop, QWidget* parent)
    : QMainWindow(parent)
    , m_document(std::make_unique<MUDDocument>(desktop))
{
    setAttribute(Qt::WA_DeleteOnClose);
    resize(kDefaultSize);
    buildContent();
    connectDocument();
    applyMatchTest();
    m_commandTextView->setFocus(Qt::OtherFocusReason);
}

MUDSessionWindow::~MUDSessionWindow()
{
    LVDebounce::cancelTarget(this);
    // The views read the document's output: they go first.
    m_document->setCommandInput(nullptr);
    delete takeCentralWidget();
}

void MUDSessionWindow::buildContent()
{
    auto* content = new QWidget(this);
    auto* layout = new QVBoxLayout(content);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    m_outputView = new MUDDisplayScrollView(m_document->output(), content);
    m_outputView->setFrameShape(QFrame::NoFrame);
    layout->addWidget(m_outputView, 1);

    auto* separator = new QFrame(content);
    separator->setFrameShape(QFrame::HLine);
    separator->setFixedHeight(1);
    layout->addWidget(separator);

    auto* bottomRow = new QHBoxLayout();
    bottomRow->setContentsMargins(kInset, kInset, kInset, kInset);
    bottomRow->setSpacing(kInset);
    m_historyButton = new QToolButton(content);
    m_historyButton->setIcon(QIcon::fromTheme(QStringLiteral("document-open-recent"),
                                              style()->standardIcon(QStyle::SP_FileDialogDetailedView)));
    m_historyButton->setToolTip(tr("History"));
    m_historyButton->setAccessibleName(tr("History"));
    m_historyButton->setFixedSize(ButtonSize, ButtonSize);
    m_historyButton->setEnabled(m_document->isHistoryButtonEnabled());
    m_reconnectButton = new QToolButton(content);
    m_reconnectButton->setIcon(
        QIcon::fromTheme(QStringLiteral("view-refresh"), style()->standardIcon(QStyle::SP_BrowserReload)));
    m_reconnectButton->setToolTip(tr("Reconnect"));
    m_reconnectButton->setAccessibleName(tr("Reconnect"));
    m_reconnectButton->setFixedSize(ButtonSize, ButtonSize);
    m_reconnectButton->setHidden(m_document->isReconnectButtonHidden());
    m_secureMark = new QLabel(content);
    m_secureMark->setObjectName(QStringLiteral("secureMark"));
    m_secureMark->setPixmap(MUDImageLibrary::imageNamed(QStringLiteral("SecureConnection"), ButtonSize - 8));
    m_secureMark->setFixedSize(ButtonSize, ButtonSize);
    m_secureMark->setAlignment(Qt::AlignCenter);
    m_secureMark->hide();
    m_commandTextView = new MUDCommandTextView(content);
    m_commandTextView->setReadOnly(!m_document->isInputEditable());
    bottomRow->addWidget(m_historyButton, 0, Qt::AlignVCenter);
    bottomRow->addWidget(m_reconnectButton, 0, Qt::AlignVCenter);
    bottomRow->addWidget(m_secureMark, 0, Qt::AlignVCenter);
    bottomRow->addWidget(m_commandTextView, 1);
    layout->addLayout(bottomRow);
    // Tab belongs to completion in the input line and hands the output's keys to it, so the keyboard
    // path runs from the input (Ctrl+Tab) through the buttons to the output and back.
    QWidget::setTabOrder(m_commandTextView, m_historyButton);
    QWidget::setTabOrder(m_historyButton, m_reconnectButton);
    QWidget::setTabOrder(m_reconnectButton, m_outputView);
    setCentralWidget(content);
    applyOutputFont();
    applyAccessibilitySettings();

    m_commandTextView->setDelegate(this);
    m_commandTextView->setMainTextView(m_outputView);
    m_outputView->textView()->setCommandTextView(m_commandTextView);
    m_document->setCommandInput(m_commandTextView);
    m_lastFrameHeight = m_commandTextView->contentHeight();
}

void MUDSessionWindow::applyOutputFont()
{
    const QFont font = MUDDocument::localFont();
    m_outputView->textView()->setFont(font);
    m_commandTextView->setFont(font);
    reportWindowSize();
}

void MUDSessionWindow::reportWindowSize()
{
    const MUDDisplayTextView* view = m_outputView->textView();
    const QSizeF text(view->width() - 2 * MUDDisplayLayoutManager::Margin, view->height());
    const QSize characters = MUDSessionTelnet::charactersThatFit(text, view->font());
    m_document->telnet().setWindowSize(characters.width(), characters.height());
}

void MUDSessionWindow::applyAccessibilitySettings()
{
    using Option = MUDUserSettings::Accessibility;
    MUDUserSettings& settings = MUDUserSettings::sharedInstance();
    MUDDisplayTextView* view = m_outputView->textView();
    view->setBlinkingEnabled(!settings.accessibilityOption(Option::DontBlinkText));
    view->layoutManager().setHighContrast(settings.accessibilityOption(Option::HighContrastColors),
                                          view->palette().color(QPalette::Base));
    view->update();
}

void MUDSessionWindow::connectDocument()
{
    MUDDocument* document = m_document.get();
    connect(document, &MUDDocument::scrollToEndRequested, m_outputView, &MUDDisplayScrollView::scrollToBottom);
    connect(document, &MUDDocument::reconnectButtonHiddenChanged, m_reconnectButton, &QToolButton::setHidden);
    connect(document, &MUDDocument::historyButtonEnabledChanged, m_historyButton, &QToolButton::setEnabled);
    connect(document, &MUDDocument::inputEditableChanged, m_commandTextView,
            [this](bool editable) { m_commandTextView->setReadOnly(!editable); });
    connect(document, &MUDDocument::passwordModeChanged, m_commandTextView, &MUDCommandTextView::setPasswordMode);
    connect(document, &MUDDocument::windowStateRestored, this, &MUDSessionWindow::applyRestoredWindowState);
    connect(document, &MUDDocument::mudMatchTestChanged, this, &MUDSessionWindow::applyMatchTest);
    connect(document, &MUDDocument::closeRequested, this, &QWidget::close);
    connect(&document->security(), &MUDSessionSecurity::statusTextChanged, this, &MUDSessionWindow::showSecurityStatus);
    connect(&document->security(), &MUDSessionSecurity::certificateNeedsTrust, this,
            &MUDSessionWindow::askToTrustCertificate);
    connect(m_historyButton, &QToolButton::clicked, this, &MUDSessionWindow::onHistory);
    connect(m_reconnectButton, &QToolButton::clicked, document, &MUDDocument::onReconnect);
    connect(m_commandTextView, &MUDCommandTextView::heightChanged, this, &MUDSessionWindow::frameDidChange);
    // The player's font choice shows at once, in text already received too.
    connect(&MUDUserSettings::sharedInstance(), &MUDUserSettings::outputFontChanged, this,
            &MUDSessionWindow::applyOutputFont);
    connect(&MUDUserSettings::sharedInstance(), &MUDUserSettings::accessibilityChanged, this,
            &MUDSessionWindow::applyAccessibilitySettings);
    connect(m_outputView->textView(), &MUDDisplayTextView::viewResized, this, &MUDSessionWindow::reportWindowSize);
    // A script error line's "(details)" link opens the error window.
    connect(m_outputView->textView(), &MUDDisplayTextView::linkAttributesActivated, this,
            [this](const QTextCharFormat& attributes) {
                MUDViewScriptErrorWindowController::openForLink(attributes.property(MUDScriptErrorLinkProperty), this,
                                                                m_scriptErrorWindow);
            });
}

MUDViewScriptErrorWindowController* MUDSessionWindow::scriptErrorWindow() const
{
    return m_scriptErrorWindow;
}

MUDCertificateSheet* MUDSessionWindow::certificateSheet() const
{
    return m_certificateSheet;
}

void MUDSessionWindow::showSecurityStatus(const QString& statusText)
{
    m_secureMark->setToolTip(statusText);
    m_secureMark->setAccessibleName(statusText);
    m_secureMark->setVisible(!statusText.isEmpty());
}

void MUDSessionWindow::askToTrustCertificate(const MUDSocketSecurity& security)
{
    // One question at a time: a newer refusal replaces an unanswered sheet.
    if (m_certificateSheet)
        m_certificateSheet->endSheetWithReturnCode(CVWindowController::ReturnCodeCancel);
    auto* sheet = new MUDCertificateSheet(security, this);
    m_certificateSheet = sheet;
    const QPointer<MUDSessionWindow> self(this);
    sheet->beginSheetModalForWindow(this, [self, sheet](int returnCode) {
        sheet->deleteLater();
        if (self && self->m_certificateSheet == sheet)
            self->m_certificateSheet = nullptr;
        if (self && returnCode == CVWindowController::ReturnCodeOK && !self->m_document->isClosed())
            self->m_document->security().trustCertificate(sheet->security());
    });
}

void MUDSessionWindow::openConnection(std::shared_ptr<MUDConnection> connection)
{
    centreWindow();
    m_document->setConnection(std::move(connection));
    setWindowTitle(m_document->displayName());
    m_document->connectToServer();
}

void MUDSessionWindow::applyRestoredWindowState(bool hasState)
{
    if (!hasState) {
        QTimer::singleShot(CentreDelayMs, this, &MUDSessionWindow::centreWindow);
        return;
    }
    const QRectF frame = m_document->restoredWindowFrames().value(kWindowFrameKey);
    if (!frame.isEmpty())
        setGeometry(frame.toRect());
}

void MUDSessionWindow::centreWindow()
{
    const QScreen* currentScreen = screen();
    if (!currentScreen)
        return;
    QRect frame = frameGeometry();
    frame.moveCenter(currentScreen->availableGeometry().center());
    move(frame.topLeft());
}

MUDWindowState::Frames MUDSessionWindow::currentWindowFrames() const
{
    MUDWindowState::Frames frames =
        m_childWindowFramesProvider ? m_childWindowFramesProvider() : MUDWindowState::Frames();
    frames.insert(kWindowFrameKey, QRectF(geometry()));
    return frames;
}

void MUDSessionWindow::setChildWindowFramesProvider(std::function<MUDWindowState::Frames()> provider)
{
    m_childWindowFramesProvider = std::move(provider);
}

void MUDSessionWindow::saveWindowState()
{
    m_document->setWindowFrames(currentWindowFrames());
    m_document->saveWindowState();
}

void MUDSessionWindow::closeEvent(QCloseEvent* event)
{
    if (!m_document->isClosed()) {
        saveWindowState();
        m_document->close();
    }
    LVDebounce::cancelTarget(this);
    event->accept();
}

void MUDSessionWindow::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    m_document->setWindowVisible(true);
    // Blinking runs once a second from the first showing until a tick finds
    // the window hidden.
    if (!m_blinkStarted) {
        m_blinkStarted = true;
        QTimer::singleShot(BlinkIntervalMs, this, &MUDSessionWindow::updateBlink);
    }
}

void MUDSessionWindow::hideEvent(QHideEvent* event)
{
    QMainWindow::hideEvent(event);
    m_document->setWindowVisible(false);
}

void MUDSessionWindow::updateBlink()
{
    m_outputView->textView()->updateBlink();
    if (isVisible())
        QTimer::singleShot(BlinkIntervalMs, this, &MUDSessionWindow::updateBlink);
}

void MUDSessionWindow::frameDidChange(int height)
{
    if (height == m_lastFrameHeight)
        return;
    m_lastFrameHeight = height;
    m_outputView->scrollToBottom(false);
    const QPointer<MUDSessionWindow> self(this);
    LVDebounce::fireAfter(SaveStateDelay, this, "saveWindowState", nullptr, [self] {
        if (self && !self->m_document->isClosed())
            self->saveWindowState();
    });
}

QMenu* MUDSessionWindow::historyMenu()
{
    if (!m_historyMenu)
        m_historyMenu = new QMenu(this);
    m_historyMenu->clear();
    const QStringList& history = m_document->commandPipeline().historyCommands();
    for (qsizetype index = 0; index < history.size(); ++index) {
        QAction* action = m_historyMenu->addAction(MUDMenuItemTitle(history.at(index)));
        connect(action, &QAction::triggered, this, [this, index] { m_document->onHistoryItem(index); });
    }
    return m_historyMenu;
}

void MUDSessionWindow::onHistory()
{
    QMenu* menu = historyMenu();
    if (menu->isEmpty())
        return;
    menu->popup(m_historyButton->mapToGlobal(QPoint(0, -menu->sizeHint().height())));
}

void MUDSessionWindow::applyMatchTest()
{
    const QVariant matchTest = m_document->mudMatchTest();
    if (matchTest.canConvert<MUDMatchTest>())
        m_outputView->textView()->highlightScriptTest(matchTest.value<MUDMatchTest>());
    else
        m_outputView->textView()->highlightScriptTest(std::nullopt);
}

void MUDSessionWindow::MUDCommandTextViewReturnKey(MUDCommandTextView*)
{
    m_document->MUDCommandTextViewReturnKey();
}

void MUDSessionWindow::MUDCommandTextViewUpArrow(MUDCommandTextView*)
{
    m_document->MUDCommandTextViewUpArrow();
}

void MUDSessionWindow::MUDCommandTextViewDownArrow(MUDCommandTextView*)
{
    m_document->MUDCommandTextViewDownArrow();
}

QStringList MUDSessionWindow::MUDCommandTextWantsKeywords(MUDCommandTextView*)
{
    return m_document->MUDCommandTextWantsKeywords();
}
