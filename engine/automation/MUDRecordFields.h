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

// Equal file locations: both none, or the same cleaned path.
bool sameLocation(const QString& a, const QString& b);

// A case-insensitive substring search that skips empty fields.
bool fieldContains(const QString& field, const QString& search);

}
