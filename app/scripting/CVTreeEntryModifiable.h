#pragma once

// A tree node that can carry unsaved changes (rows show them in green).
class CVTreeEntryModifiable {
public:
    virtual ~CVTreeEntryModifiable() = default;
    virtual bool isModified() const = 0;
};
