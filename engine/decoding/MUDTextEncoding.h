#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <memory>

// One text encoding by its IANA name, through ICU's converters: bytes in
// that encoding to Unicode and back. Conversion is stateful: a character
// cut between two calls is kept and completed by the next one, so the text
// does not depend on where reads end. Bytes that are not valid in the
// encoding become U+FFFD; characters it cannot write become its
// substitution byte (usually "?").
//
// Threads: one thread at a time per object.
class MUDTextEncoding {
public:
    static inline const QString UTF8 = QStringLiteral("UTF-8");

    // The encodings a connection may choose, UTF-8 first.
    static QStringList choices();
    // A name the player sees for one of choices(), such as "Latin-1 (ISO-8859-1)".
    static QString displayName(const QString& name);

    explicit MUDTextEncoding(const QString& name);
    ~MUDTextEncoding();
    MUDTextEncoding(const MUDTextEncoding&) = delete;
    MUDTextEncoding& operator=(const MUDTextEncoding&) = delete;

    // False when ICU does not know the name.
    bool isValid() const;
    QString name() const { return m_name; }

    // Decodes the next bytes of a stream; a cut character waits for the next call.
    QString toUnicode(QByteArrayView bytes);
    // Encodes whole text (nothing is held back).
    QByteArray fromUnicode(const QString& text);

private:
    struct Converters;
    QString m_name;
    std::unique_ptr<Converters> m_converters;
};
