#pragma once

#include "app/views/CVWindowController.h"
#include "engine/connection/MUDSocketSecurity.h"

class QFormLayout;
class QLabel;
class QPushButton;

// The sheet over a session window that shows a server certificate the
// connection refused (it did not verify, or it is not the pinned one):
// subject, issuer, validity and SHA-256 fingerprint, with the pinned
// fingerprint beside it when the certificate changed. "Trust This
// Certificate" ends it with 1, "Cancel" (the default) with 0. Main thread.
class MUDCertificateSheet : public CVWindowController {
    Q_OBJECT
public:
    explicit MUDCertificateSheet(const MUDSocketSecurity& security, QWidget* parent = nullptr);

    const MUDSocketSecurity& security() const { return m_security; }
    QPushButton* trustButton() const { return m_trustButton; }
    QPushButton* cancelButton() const { return m_cancelButton; }
    // Everything the sheet says, as its reader would read it.
    QString text() const;

private:
    void addRow(QFormLayout* form, const QString& label, const QString& value, bool fixedPitch = false);

    const MUDSocketSecurity m_security;
    QList<QLabel*> m_labels;
    QPushButton* m_trustButton = nullptr;
    QPushButton* m_cancelButton = nullptr;
};
