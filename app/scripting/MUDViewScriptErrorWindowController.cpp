#include "app/scripting/MUDViewScriptErrorWindowController.h"

#include <algorithm>
#include <memory>
#include <utility>

#include <QCollator>
#include <QHeaderView>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSplitter>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

#include "app/views/CVHighlightableTextView.h"
#include "app/views/CVTextStorage.h"
#include "app/views/MUDFontHelper.h"
#include "core/CVLogHelper.h"
#include "engine/highlighting/JSONHighlighter.h"

namespace {

// The parameters as one readable value for the log ("(null)" without any).
QString describeParameters(const std::optional<MUDScriptParameters>& parameters)
{
    if (!parameters)
        return QStringLiteral("(null)");
    QJsonObject object;
    for (auto it = parameters->cbegin(); it != parameters->cend(); ++it)
        object.insert(it.key(), it.value());
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

}

MUDViewScriptErrorWindowController::MUDViewScriptErrorWindowController(const MUDJavascriptError& errorDetails,
                                                                       QWidget* parent)
    : CVWindowController(parent)
    , m_errorDetails(errorDetails)
{
    setWindowTitle(tr("Script Error: %1").arg(errorDetails.scriptName));
    windowDidLoad();
    resize(640, 420);
}

void MUDViewScriptErrorWindowController::windowDidLoad()
{
    CVLog(QStringLiteral("Error: %1").arg(describeParameters(m_errorDetails.parameters)));

    m_splitView = new QSplitter(Qt::Horizontal, this);
    m_rawScriptTextView = makeScriptView(m_errorDetails.rawScript);
    m_splitView->addWidget(m_rawScriptTextView);

    m_tabView = new QTabWidget(m_splitView);
    m_processedScriptTextView = makeScriptView(m_errorDetails.processedScript);
    m_tabView->addTab(m_processedScriptTextView, tr("Processed Script"));
    m_parametersTableView = new QTableWidget(m_tabView);
    fillParametersTable();
    m_tabView->addTab(m_parametersTableView, tr("Parameters"));
    m_splitView->addWidget(m_tabView);

    const bool sameScript =
        !m_errorDetails.rawScript.isEmpty() && m_errorDetails.rawScript == m_errorDetails.processedScript;
    if (sameScript) {
        // Nothing was substituted: one pane says it all.
        delete std::exchange(m_rawScriptTextView, nullptr);
        QWidget* parametersTab = m_tabView->widget(m_tabView->count() - 1);
        m_tabView->removeTab(m_tabView->count() - 1);
        delete parametersTab;
        m_parametersTableView = nullptr;
        m_tabView->setTabText(0, tr("Script"));
    }

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->addWidget(m_splitView);
}

CVHighlightableTextView* MUDViewScriptErrorWindowController::makeScriptView(const QString& text)
{
    auto* view = new CVHighlightableTextView;
    view->setSyntaxHighlighter(std::make_unique<JSONHighlighter>(view->textStorage()));
    view->setFont(MUDFontHelper::monospacedFontOfSize(MUDFontHelper::systemFontSize()));
    view->setPlainText(text);
    view->setReadOnly(true);
    return view;
}

void MUDViewScriptErrorWindowController::fillParametersTable()
{
    const MUDScriptParameters parameters = m_errorDetails.parameters.value_or(MUDScriptParameters());
    m_sortedParameterNames = parameters.keys();
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::sort(m_sortedParameterNames.begin(), m_sortedParameterNames.end(),
              [&](const QString& a, const QString& b) { return collator.compare(a, b) < 0; });

    m_parametersTableView->setColumnCount(2);
    m_parametersTableView->setHorizontalHeaderLabels({tr("Parameter"), tr("Value")});
    m_parametersTableView->horizontalHeader()->setStretchLastSection(true);
    m_parametersTableView->verticalHeader()->hide();
    m_parametersTableView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_parametersTableView->setRowCount(int(m_sortedParameterNames.size()));
    for (int row = 0; row < m_sortedParameterNames.size(); ++row) {
        const QString& name = m_sortedParameterNames.at(row);
        m_parametersTableView->setItem(row, 0, new QTableWidgetItem(name));
        m_parametersTableView->setItem(row, 1, new QTableWidgetItem(parameters.value(name)));
    }
}

bool MUDViewScriptErrorWindowController::openForLink(const QVariant& link, QWidget* sessionWindow,
                                                     QPointer<MUDViewScriptErrorWindowController>& current)
{
    if (link.metaType() != QMetaType::fromType<MUDJavascriptError>())
        return false;
    if (current) {
        current->close();
        current->deleteLater();
        current = nullptr;
    }
    auto* window = new MUDViewScriptErrorWindowController(link.value<MUDJavascriptError>(), sessionWindow);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->addCloseButton();
    current = window;
    // A plain window, not a dimming one: the session stays usable while its error is read.
    window->show();
    if (sessionWindow)
        window->centerOverWindow(sessionWindow);
    window->raise();
    window->activateWindow();
    return true;
}
