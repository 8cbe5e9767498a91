#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;

// The find bar over the output view: a search field with previous, next
// and done buttons. Return finds the next occurrence, Shift-Return the
// previous one, Escape closes the bar. Main thread.
class MUDFindBar : public QWidget {
    Q_OBJECT
public:
    explicit MUDFindBar(QWidget* parent = nullptr);

    QString text() const;
    void activate();
    // Shows "Not found" (or nothing) beside the field.
    void setNotFound(bool notFound);

signals:
    void findRequested(const QString& text, bool forward);
    void searchTextChanged(const QString& text);
    void closeRequested();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QLineEdit* m_field;
    QLabel* m_status;
};
