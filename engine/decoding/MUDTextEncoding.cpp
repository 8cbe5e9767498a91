#include "engine/decoding/MUDTextEncoding.h"

#include <unicode/ucnv.h>

#include <array>

#include "core/CVLogHelper.h"

namespace {
struct Choice {
    const char* name;
    const char* displayName;
};
// IANA names, as stored in connection files.
constexpr std::array kChoices{
    Choice{"UTF-8", "Unicode (UTF-8)"},
    Choice{"ISO-8859-1", "Western, Latin-1 (ISO-8859-1)"},
    Choice{"windows-1252", "Western (Windows-1252)"},
    Choice{"GBK", "Simplified Chinese (GBK)"},
    Choice{"GB18030", "Simplified Chinese (GB18030)"},
    Choice{"Big5", "Traditional Chinese (Big5)"},
    Choice{"KOI8-R", "Cyrillic (KOI8-R)"},
};

UConverter* openConverter(const QString& name)
{
    UErrorCode status = U_ZERO_ERROR;
    UConverter* converter = ucnv_open(name.toLatin1().constData(), &status);
    if (U_FAILURE(status)) {
        CVLog(QStringLiteral("Unknown text encoding %1: %2").arg(name, QString::fromLatin1(u_errorName(status))));
        return nullptr;
    }
    return converter;
}
}

// Decoding and encoding keep separate state: one converter each.
struct MUDTextEncoding::Converters {
    UConverter* decoder = nullptr;
    UConverter* encoder = nullptr;
    ~Converters()
    {
        if (decoder)
            ucnv_close(decoder);
        if (encoder)
            ucnv_close(encoder);
    }
};

QStringList MUDTextEncoding::choices()
{
    QStringList names;
    for (const Choice& choice : kChoices)
        names << QString::fromLatin1(choice.name);
    return names;
}

QString MUDTextEncoding::displayName(const QString& name)
{
    for (const Choice& choice : kChoices) {
        if (name.compare(QLatin1String(choice.name), Qt::CaseInsensitive) == 0)
            return QString::fromLatin1(choice.displayName);
    }
    return name;
}

MUDTextEncoding::MUDTextEncoding(const QString& name)
    : m_name(name)
    , m_converters(std::make_unique<Converters>())
{
    m_converters->decoder = openConverter(name);
    m_converters->encoder = m_converters->decoder ? openConverter(name) : nullptr;
}

MUDTextEncoding::~MUDTextEncoding() = default;

bool MUDTextEncoding::isValid() const
{
    return m_converters->decoder && m_converters->encoder;
}

QString MUDTextEncoding::toUnicode(QByteArrayView bytes)
{
    if (!isValid() || bytes.isEmpty())
        return {};
    // Two UTF-16 units per byte are more than any encoding needs, even with
    // a character held from the last call.
    QString text(2 * bytes.size() + 8, Qt::Uninitialized);
    UChar* target = reinterpret_cast<UChar*>(text.data());
    const char* source = bytes.data();
    UErrorCode status = U_ZERO_ERROR;
    ucnv_toUnicode(m_converters->decoder, &target, target + text.size(), &source, source + bytes.size(), nullptr, false,
                   &status);
    text.truncate(target - reinterpret_cast<UChar*>(text.data()));
    return text;
}

QByteArray MUDTextEncoding::fromUnicode(const QString& text)
{
    if (!isValid() || text.isEmpty())
        return {};
    QByteArray bytes(UCNV_GET_MAX_BYTES_FOR_STRING(text.size(), ucnv_getMaxCharSize(m_converters->encoder)),
                     Qt::Uninitialized);
    char* target = bytes.data();
    const UChar* source = reinterpret_cast<const UChar*>(text.constData());
    UErrorCode status = U_ZERO_ERROR;
    ucnv_fromUnicode(m_converters->encoder, &target, target + bytes.size(), &source, source + text.size(), nullptr,
                     true, &status);
    bytes.truncate(target - bytes.data());
    return bytes;
}
