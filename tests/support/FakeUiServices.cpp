#include "FakeUiServices.h"


QStringList FakeUiServices::texts() const
{
    QStringList result;
    for (const Message &m : messages)
        result << m.text;
    return result;
}

QMessageBox::StandardButton FakeUiServices::message(QWidget *, const QString &text,
                                                    QMessageBox::StandardButtons buttons,
                                                    Icon icon, const QString &title)
{
    messages << Message{text, buttons, icon, title};
    // A notice has nothing to choose: it leaves the answers to the questions.
    const bool question = (buttons.toInt() & (buttons.toInt() - 1)) != 0;
    if (question && !answers.isEmpty())
        return answers.dequeue();
    if (buttons.testFlag(QMessageBox::Ok))
        return QMessageBox::Ok;
    // Lowest flag first, which puts Yes before No.
    for (quint32 bit = 1; bit != 0; bit <<= 1)
        if (buttons.toInt() & bit)
            return QMessageBox::StandardButton(bit);
    return QMessageBox::NoButton;
}

QString FakeUiServices::openFile(QWidget *, const FileDialog &dialog)
{
    dialogs << Dialog{false, dialog};
    return fileAnswers.isEmpty() ? QString() : fileAnswers.dequeue();
}

QString FakeUiServices::saveFile(QWidget *, const FileDialog &dialog)
{
    dialogs << Dialog{true, dialog};
    return fileAnswers.isEmpty() ? QString() : fileAnswers.dequeue();
}

joblet::UiServices::AddItemEntry FakeUiServices::addItem(QWidget *)
{
    return addItemAnswers.isEmpty() ? AddItemEntry {} : addItemAnswers.dequeue();
}
