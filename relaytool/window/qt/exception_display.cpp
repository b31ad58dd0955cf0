#include "exception_display.h"

#include "display_rules.h"

#include <QApplication>
#include <QMessageBox>

QString ApplicationTitle() {
    return QString::fromLocal8Bit(ApplicationTitleFor(QCoreApplication::applicationFilePath().toLocal8Bit().toStdString()));
}

void ShowExceptionDisplay(const std::string &text, const QString &caption) {
    QMessageBox box(QMessageBox::Critical, caption, QString::fromLocal8Bit(text), QMessageBox::Ok,
                    QApplication::activeWindow());
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

void ShowExceptionMessage(const std::string &message) {
    ShowExceptionDisplay(WithClosingFullStop(message), ApplicationTitle());
}
