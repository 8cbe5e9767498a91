#include "engine/highlighting/JSONParserTokenizerToken.h"

#include <array>

QString JSONParserTokenizerToken::typeString(int type)
{
    static const std::array<const char*, 10> names{"Unknown",
                                                   "Symbol",
                                                   "Keyword",
                                                   "Variable",
                                                   "Function",
                                                   "Single quoted string",
                                                   "Double quoted string",
                                                   "Single line comment",
                                                   "Multi line comment",
                                                   "Numeric"};
    if (type < 0 || type >= static_cast<int>(names.size()))
        return QStringLiteral("Unknown");
    return QString::fromLatin1(names[type]);
}

QString JSONParserTokenizerToken::description() const
{
    return QStringLiteral("%1 - %2").arg(typeString(type()), range().toString());
}
