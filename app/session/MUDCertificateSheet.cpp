#include "app/session/MUDCertificateSheet.h"

#include <QFontDatabase>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
QString dateText(const QDateTime& date)
{
    return date.isValid() ? QLocale().toString(date.toLocalTime(), QLocale::LongFormat) : QStringLiteral("unknown");
}
}

MUDCertificateSheet::MUDCertificateSheet(const MUDSocketSecurity& security, QWidget* parent)
    : CVWindowController(parent)
    , m_security(security)
{
    setObjectName(QStringLiteral("MUDCertificateSheet"));
    const bool changed = security.trust == MUDSocketSecurity::Trust::PinMismatch;
    setWindowTitle(changed ? tr("Certificate changed") : tr("Certificate not trusted"));

    auto* headline = new QLabel(changed ? tr("The server's certificate has changed")
                                        : tr("The server's certificate is not trusted"));
    QFont bold = headline->font();
    bold.setBold(true);
    headline->setFont(bold);
    auto* explanation =
        new QLabel(changed ? tr("It is not the certificate you trusted for this connection. Someone may be "
                                "listening in, or the game replaced its certificate. Trust the new one only if "
                                "the game's operators confirm its fingerprint.")
                           : tr("It could not be verified (%1). Game servers often use a certificate of their "
                                "own; trust it only if it is the one the game's operators publish.")
                                 .arg(security.problem));
    explanation->setWordWrap(true);
    m_labels << headline << explanation;

    auto* form = new QFormLayout;
    const CVTLSCertificate& certificate = security.certificate;
    addRow(form, tr("Subject:"), certificate.subject);
    addRow(form, tr("Issuer:"), certificate.issuer);
    addRow(form, tr("Valid from:"), dateText(certificate.notBefore));
    addRow(form, tr("Valid until:"), dateText(certificate.notAfter));
    addRow(form, changed ? tr("New SHA-256 fingerprint:") : tr("SHA-256 fingerprint:"), certificate.fingerprintText(),
           true);
    if (changed)
        addRow(form, tr("Pinned SHA-256 fingerprint:"), CVTLSCertificate::fingerprintText(security.pinnedSHA256), true);

    m_cancelButton = new QPushButton(tr("Cancel"));
    m_trustButton = new QPushButton(tr("Trust This Certificate"));
    // Trusting must be a deliberate choice: Return cancels.
    m_cancelButton->setDefault(true);
    connect(m_cancelButton, &QPushButton::clicked, this, [this] { endSheetWithReturnCode(ReturnCodeCancel); });
    connect(m_trustButton, &QPushButton::clicked, this, [this] { endSheetWithReturnCode(ReturnCodeOK); });
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_trustButton);
    buttons->addWidget(m_cancelButton);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(headline);
    layout->addWidget(explanation);
    layout->addLayout(form);
    // Room the wrapped texts leave goes above the buttons, not between the lines.
    layout->addStretch(1);
    layout->addLayout(buttons);
    setMinimumWidth(560);
}

void MUDCertificateSheet::addRow(QFormLayout* form, const QString& label, const QString& value, bool fixedPitch)
{
    auto* field = new QLabel(value);
    field->setWordWrap(true);
    field->setTextInteractionFlags(Qt::TextSelectableByMouse);
    if (fixedPitch)
        field->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    field->setAccessibleName(label.chopped(1));
    form->addRow(label, field);
    m_labels << qobject_cast<QLabel*>(form->labelForField(field)) << field;
}

QString MUDCertificateSheet::text() const
{
    QStringList lines;
    for (const QLabel* label : m_labels) {
        if (label)
            lines << label->text();
    }
    return lines.join(QLatin1Char('\n'));
}
