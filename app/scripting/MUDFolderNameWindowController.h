#pragma once

#include "app/views/CVWindowController.h"

class QLineEdit;
class QMessageBox;
class QPushButton;

// The sheet that asks for a folder name (new folder, rename). OK with an
// empty name, or one that cannot name a folder ("/", ".", ".."), shows an
// alert on the sheet and keeps it open; otherwise OK ends with code 1 and
// Cancel with 0. Main thread.
class MUDFolderNameWindowController : public CVWindowController {
    Q_OBJECT
public:
    explicit MUDFolderNameWindowController(const QString& folderName, QWidget* parent = nullptr);

    QString folderName() const;
    QLineEdit* nameField() const { return m_nameField; }
    QPushButton* okButton() const { return m_okButton; }
    // The alert shown for a refused name, while it is open.
    QMessageBox* nameAlert() const { return m_alert; }

private:
    void onOK();
    void showAlert(const QString& message, const QString& informativeText);

    QLineEdit* m_nameField;
    QPushButton* m_okButton;
    QMessageBox* m_alert = nullptr;
};
