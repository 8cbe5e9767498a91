#pragma once

#include <QPointer>
#include <QString>
#include <memory>

#include "app/views/CVWindowController.h"

class MUDConnection;
class MUDConnectionLoginScriptWindow;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QMessageBox;
class QToolButton;

// The sheet that creates or changes one connection. It edits the record's
// working copy (modifiedInstance), checks the fields in a fixed order with
// fixed messages and saves through storage; ends with 1 when saved, 0 when
// cancelled. Main thread.
class MUDEditConnectionWindowController : public CVWindowController {
    Q_OBJECT
public:
    explicit MUDEditConnectionWindowController(std::shared_ptr<MUDConnection> connection, QWidget* parent = nullptr);
    ~MUDEditConnectionWindowController() override;

    std::shared_ptr<MUDConnection> connection() const { return m_connection; }
    QString targetImageURL() const { return m_targetImageURL; }

    void onSave();
    void onCancel();
    void onClickedImage();
    void onLoginScript();
    // A sheet alert: `title` as its message, `text` as its informative text, one "OK".
    void showErrorMessage(const QString& text, const QString& title);

    // Takes a picked picture; false (nothing changes) when it does not load.
    bool setPickedImage(const QString& path);
    // The integer value of the port text: its leading digits, 0 without any.
    static quint64 portFromText(const QString& text);

    QToolButton* iconButton() const { return m_iconButton; }
    QLineEdit* titleField() const { return m_titleField; }
    QLineEdit* serverAddressField() const { return m_serverAddressField; }
    QLineEdit* serverPortField() const { return m_serverPortField; }
    QLineEdit* userField() const { return m_userField; }
    QLineEdit* passwordField() const { return m_passwordField; }
    QCheckBox* reconnectCheckbox() const { return m_reconnectCheckbox; }
    QCheckBox* secureCheckbox() const { return m_secureCheckbox; }
    QCheckBox* telnetOptionsCheckbox() const { return m_telnetOptionsCheckbox; }
    QCheckBox* keyringCheckbox() const { return m_keyringCheckbox; }
    QComboBox* textEncodingPopUp() const { return m_textEncodingPopUp; }
    MUDConnectionLoginScriptWindow* loginScriptWindowController() const;
    // The error alert while it is shown.
    QMessageBox* errorAlert() const;

private:
    void buildInterface();
    void fillFields();
    // The first failed check's alert and field; false when all pass.
    bool failsChecks();
    void failCheck(const QString& title, const QString& text, QLineEdit* field);
    void savePickedImage();
    // The keyring box: enabled only when a keyring answers; the password
    // field gets the keyring's password when the connection keeps it there.
    void fillKeyringPassword();
    bool storeKeyringPassword(QString* error);

    std::shared_ptr<MUDConnection> m_connection;
    QString m_targetImageURL;
    QPointer<MUDConnectionLoginScriptWindow> m_loginScriptWindowController;
    QPointer<QMessageBox> m_errorAlert;

    QToolButton* m_iconButton = nullptr;
    QLineEdit* m_titleField = nullptr;
    QLineEdit* m_serverAddressField = nullptr;
    QLineEdit* m_serverPortField = nullptr;
    QLineEdit* m_userField = nullptr;
    QLineEdit* m_passwordField = nullptr;
    QCheckBox* m_reconnectCheckbox = nullptr;
    QCheckBox* m_secureCheckbox = nullptr;
    QCheckBox* m_telnetOptionsCheckbox = nullptr;
    QCheckBox* m_keyringCheckbox = nullptr;
    QComboBox* m_textEncodingPopUp = nullptr;
};
