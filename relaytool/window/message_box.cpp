#include "message_box.h"

#include <QMessageBox>

void ShowMessage(QWidget *parent, const std::string &text) {
    QMessageBox box(QMessageBox::Critical, QString::fromLatin1(kMessageCaption),
                    QString::fromLatin1(text), QMessageBox::Ok, parent);
    box.exec();
}
