#pragma once

#include <QString>
#include <QTemporaryDir>

// Makes the process read and write numbers with a comma as the decimal mark
// (LC_NUMERIC), as a German or French desktop does, for as long as it lives.
// The locale is compiled from a few lines into a temporary folder, since
// test machines rarely carry compiled locales beyond C. Main thread; the
// locale is process-wide, so tests using it run one at a time.
class CommaDecimalLocale {
public:
    CommaDecimalLocale();
    ~CommaDecimalLocale();
    CommaDecimalLocale(const CommaDecimalLocale&) = delete;
    CommaDecimalLocale& operator=(const CommaDecimalLocale&) = delete;

    // True once the comma is the decimal mark; else `errorText` says why.
    bool isActive() const { return m_active; }
    QString errorText() const { return m_errorText; }

private:
    QTemporaryDir m_folder;
    bool m_active = false;
    QString m_errorText;
};
