#pragma once

#include <QString>
#include <QTextFormat>

// Custom text attributes the engine places in styled output. Each has its
// exported name (part of the application's interface, also the key in
// serialised output) and the QTextFormat user property that holds it in a
// run's QTextCharFormat.

inline const QString MUDSectionDetailsAttributeName = QStringLiteral("MUDDetailsAttributeName");
inline const QString MUDBlinkingAttributeName = QStringLiteral("MUDBlinkingAttributeName");
inline const QString MUDUserCommandAttributeName = QStringLiteral("MUDUserCommandAttributeName");
inline const QString MUDCountdownAttributeName = QStringLiteral("MUDCountdownAttributeName");

enum MUDTextProperty : int {
    // QVariantMap with "fg", "bg" (qulonglong) and "flags" (quint32) of the run's style.
    MUDSectionDetailsProperty = QTextFormat::UserProperty + 0x4d00,
    // int 1 when the run blinks, 0 otherwise; present on every styled run.
    MUDBlinkingProperty,
    // Set by the session on text that echoes a command.
    MUDUserCommandProperty,
    // std::shared_ptr<MUDCountdownAttribute> of a running countdown.
    MUDCountdownProperty,
};
