#include "app/session/MUDExitsWindowController.h"

#include <QTextCursor>
#include <QTextEdit>

#include "app/session/MUDDocument.h"
#include "app/views/MUDFontHelper.h"
#include "core/CVColorHelpers.h"

namespace {

// Mirrors the messages window at the lower end of the session window's right edge.
constexpr int OutsideOffset = 300;
constexpr int RightInset = 2;
constexpr int BottomInset = 52;

}

MUDExitsWindowController::MUDExitsWindowController(MUDDocument* document, QWidget* parent)
    : MUDExtraWindow(parent)
    , m_document(document)
{
    setWindowTitle(tr("Exits"));
    setBackgroundColor(backgroundColor());
    if (m_document) {
        connect(m_document, &MUDDocument::exitsChanged, this, [this] { setExitsText(m_document->exitsText()); });
        setExitsText(m_document->exitsText());
    }
}

QColor MUDExitsWindowController::backgroundColor()
{
    return darkerColor(hexToColor(u"4f1713"));
}

QPoint MUDExitsWindowController::originBesideSessionFrame(const QRect& sessionFrame, const QSize& size)
{
    return {sessionFrame.x() + sessionFrame.width() - size.width() - RightInset + OutsideOffset,
            sessionFrame.y() + sessionFrame.height() - size.height() - BottomInset};
}

void MUDExitsWindowController::setExitsText(const QString& text)
{
    QTextEdit* view = exitsTextView();
    view->clear();
    QTextCharFormat format;
    format.setFont(MUDFontHelper::monospacedFontOfSize(MUDFontHelper::systemFontSize()));
    format.setForeground(textColor());
    QTextCursor cursor(view->document());
    cursor.setCharFormat(format);
    // The session joins the lines with CR LF; the view breaks lines at LF alone.
    QString lines = text;
    lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    cursor.insertText(lines, format);
}
