#pragma once

#include <QPointer>
#include <QStringList>

#include "app/views/CVWindowController.h"
#include "engine/automation/MUDJavascriptError.h"

class CVHighlightableTextView;
class QSplitter;
class QTableWidget;
class QTabWidget;

// The details of a failed script: the action as written, the action after
// parameter substitution and the parameters substituted. When both texts
// are the same one pane labelled "Script" shows it. Main thread.
class MUDViewScriptErrorWindowController : public CVWindowController {
    Q_OBJECT
public:
    explicit MUDViewScriptErrorWindowController(const MUDJavascriptError& errorDetails, QWidget* parent = nullptr);

    // The session's handling of a clicked output link. An error record (the
    // link value of an error line's "(details)" run) closes the window kept
    // in `current`, opens a new one centred over `sessionWindow` (its child,
    // deleted when closed) and stores it in `current`; returns whether the
    // link was handled.
    static bool openForLink(const QVariant& link, QWidget* sessionWindow,
                            QPointer<MUDViewScriptErrorWindowController>& current);

    const MUDJavascriptError& errorDetails() const { return m_errorDetails; }
    CVHighlightableTextView* rawScriptTextView() const { return m_rawScriptTextView; }
    CVHighlightableTextView* processedScriptTextView() const { return m_processedScriptTextView; }
    QTableWidget* parametersTableView() const { return m_parametersTableView; }
    QTabWidget* tabView() const { return m_tabView; }
    QSplitter* splitView() const { return m_splitView; }

    // The parameter names in the order the table lists them.
    QStringList sortedParameterNames() const { return m_sortedParameterNames; }

private:
    void windowDidLoad();
    CVHighlightableTextView* makeScriptView(const QString& text);
    void fillParametersTable();

    MUDJavascriptError m_errorDetails;
    QStringList m_sortedParameterNames;
    QSplitter* m_splitView = nullptr;
    QTabWidget* m_tabView = nullptr;
    CVHighlightableTextView* m_rawScriptTextView = nullptr;
    CVHighlightableTextView* m_processedScriptTextView = nullptr;
    QTableWidget* m_parametersTableView = nullptr;
};
