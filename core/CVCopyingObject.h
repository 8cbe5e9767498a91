#pragma once

#include <QStringList>

// Base of copyable records. A record's copy constructor duplicates every
// field except those it names here (for example a working copy it points
// to), so copies never chain. Any thread; records are plain values.
class CVCopyingObject {
public:
    virtual ~CVCopyingObject() = default;

    // Names of the properties a copy leaves out.
    virtual QStringList propertiesToSkipForCopy() const { return {}; }

protected:
    CVCopyingObject() = default;
    CVCopyingObject(const CVCopyingObject&) = default;
    CVCopyingObject& operator=(const CVCopyingObject&) = default;
};
