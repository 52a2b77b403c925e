#pragma once

#include "ui/UiServices.h"

#include <QList>
#include <QQueue>

// Records every message and file dialog instead of showing it, and answers
// from queues. Installs itself while it lives.
class FakeUiServices : public joblet::UiServices {
public:
    struct Message {
        QString text;
        QMessageBox::StandardButtons buttons;
        Icon icon = Icon::None;
        QString title; // as passed: empty means the application title
    };
    struct Dialog {
        bool save = false;
        FileDialog dialog;
    };

    FakeUiServices() = default;
    FakeUiServices(const FakeUiServices &) = delete;
    FakeUiServices &operator=(const FakeUiServices &) = delete;

    // Answers to questions (boxes of more than one button), oldest first;
    // when empty, OK if offered, else the first button offered.
    QQueue<QMessageBox::StandardButton> answers;
    // Answers to file dialogs; when empty, cancelled (empty path).
    QQueue<QString> fileAnswers;

    QList<Message> messages;
    QList<Dialog> dialogs;

    QStringList texts() const;

    QMessageBox::StandardButton message(QWidget *parent, const QString &text,
                                        QMessageBox::StandardButtons buttons, Icon icon,
                                        const QString &title) override;
    QString openFile(QWidget *parent, const FileDialog &dialog) override;
    QString saveFile(QWidget *parent, const FileDialog &dialog) override;

    // Answers to the add-item dialog; when empty, nothing entered.
    QQueue<AddItemEntry> addItemAnswers;
    AddItemEntry addItem(QWidget *parent) override;
};
