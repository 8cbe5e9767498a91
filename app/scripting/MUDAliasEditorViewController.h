#pragma once

#include <memory>

#include "app/scripting/MUDActionEditorViewController.h"

class MUDAlias;

// The alias editor: the trigger editor's controls without match test or
// pattern colouring. Its pop-up lists the regular expression first. Every
// edit goes to the alias's working copy. Main thread.
class MUDAliasEditorViewController : public MUDActionEditorViewController {
    Q_OBJECT
public:
    explicit MUDAliasEditorViewController(QWidget* parent = nullptr);

    void setAlias(std::shared_ptr<MUDAlias> alias);
    std::shared_ptr<MUDAlias> currentAlias() const { return m_currentAlias; }
    // The working copy, made first when missing; null with no alias shown.
    std::shared_ptr<MUDAlias> aliasForModification();

protected:
    void edit(Field field, const QVariant& value) override;

private:
    std::shared_ptr<MUDAlias> m_currentAlias;
};
