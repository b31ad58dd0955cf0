#include "access_keys.h"

#include <QAbstractButton>
#include <QKeyEvent>
#include <QKeySequence>
#include <QPushButton>

namespace {

class PlainLetterAccessKeys : public QObject {
public:
    explicit PlainLetterAccessKeys(QWidget *window) : QObject(window), window_(window) {}

    bool eventFilter(QObject *watched, QEvent *event) override {
        if (event->type() != QEvent::KeyPress) return QObject::eventFilter(watched, event);
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) return false;
        const QString text = key->text();
        if (text.size() != 1 || !text[0].isLetterOrNumber()) return false;
        const QKeySequence accessKey(Qt::ALT | Qt::Key(text[0].toUpper().unicode()));
        for (QPushButton *button : window_->findChildren<QPushButton *>()) {
            if (QKeySequence::mnemonic(button->text()) != accessKey) continue;
            if (button->isEnabled() && button->isVisible()) button->animateClick();
            return true;
        }
        return false;
    }

private:
    QWidget *window_;
};

}  // namespace

void InstallPlainLetterAccessKeys(QWidget *window) {
    auto *filter = new PlainLetterAccessKeys(window);
    for (QAbstractButton *button : window->findChildren<QAbstractButton *>()) button->installEventFilter(filter);
}
