#include "core/CVTokenizerToken.h"

QString CVTokenizerToken::description() const
{
    return QStringLiteral("%1 - %2").arg(m_type).arg(m_range.toString());
}
