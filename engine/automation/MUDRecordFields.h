#pragma once

#include <QJsonValue>
#include <QString>
#include <cstdint>

// Field conversions shared by the script records: how a stored dictionary
// value reads as a string, flag or number, and how record fields compare.
// Keys are never checked for type: a value of the wrong type reads like a
// missing one. Free functions; any thread.
namespace MUDRecordFields {

// A string value, or none (a null QString) when missing or not a string.
QString stringOrNone(const QJsonValue& value);

// A string as a stored form writes it: none becomes the empty string.
QString textOrEmpty(const QString& value);

// The truth value: a boolean as it is; a number when non-zero; a string when
// it starts (after white space, sign and zeros) with Y, y, T, t or a digit 1-9.
bool truthValue(const QJsonValue& value);

// A number taken as an unsigned integer and cut to its low 32 bits.
int32_t unsigned32(const QJsonValue& value);

// A number taken as a signed integer and cut to 32 bits.
int32_t signed32(const QJsonValue& value);

// Equal when both are none, or both exist with the same characters: a none
// and an empty string differ.
bool sameString(const QString& a, const QString& b);

// Equal without regard to case; a none equals an empty string.
bool sameStringIgnoringCase(const QString& a, const QString& b);

// Equal file locations: both none, or the same cleaned path.
bool sameLocation(const QString& a, const QString& b);

// A string field that compares by `Equal`, so a record's fields compare
// with the defaulted operator== and still follow the record's rules.
template<bool (*Equal)(const QString&, const QString&)> class ComparedString {
public:
    ComparedString() = default;
    ComparedString(const QString& value)
        : m_value(value)
    {
    }
    operator const QString&() const { return m_value; }
    bool operator==(const ComparedString& other) const { return Equal(m_value, other.m_value); }

private:
    QString m_value;
};

// Trigger and alias texts.
using Text = ComparedString<sameString>;
// Note texts.
using CaselessText = ComparedString<sameStringIgnoringCase>;
// Folders of records.
using Location = ComparedString<sameLocation>;

// A case-insensitive substring search that skips empty fields.
bool fieldContains(const QString& field, const QString& search);

}
