// The Qt control of the window's edit fields. It shows what the form core decides: the core
// edits the text (masked_text.h), blanks and literals of a masked field included, and this
// control only displays it.
#pragma once

#include <QLineEdit>
#include <QString>

#include <functional>

class MaskedEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit MaskedEdit(QWidget *parent = nullptr);

    // The mask of the control table ("pattern;saveLiterals;blank"; "" for a plain field), kept
    // for what the control shows of itself.
    void SetEditMask(const QString &mask) { editMask_ = mask; }
    QString EditMask() const { return editMask_; }
    bool IsMasked() const { return !editMask_.section(u';', 0, 0).isEmpty(); }

    // The form's hooks: the focus arrived (byMouse: by a click), and Tab asks to leave (true:
    // the field keeps the focus).
    std::function<void(bool byMouse)> onEntered;
    std::function<bool()> onTabLeaving;

protected:
    void focusInEvent(QFocusEvent *event) override;
    bool focusNextPrevChild(bool next) override;

private:
    QString editMask_;
};
