#include "TOverwritePromptForm.h"

#include "AppTitle.h"
#include "ElidedLabel.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace {

constexpr int kPathWidth = 425;

} // namespace

TOverwritePromptForm::TOverwritePromptForm(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                         | Qt::WindowCloseButtonHint)
{
    setObjectName("OverwritePromptForm");
    setWindowTitle(QString::fromLatin1(kAppTitle));
    setModal(true);

    QuestionIcon = new QLabel(this);
    QuestionIcon->setObjectName("QuestionIcon");
    QuestionIcon->setFixedSize(32, 32);
    QuestionIcon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxQuestion, nullptr, this).pixmap(32, 32));

    FileNameLabel = new ElidedLabel(this);
    FileNameLabel->setObjectName("FileNameLabel");
    FileNameLabel->setFixedWidth(kPathWidth);

    Label1 = new QLabel("File already exists.  Overwirte?", this);
    Label1->setObjectName("Label1");
    Label1->setTextFormat(Qt::PlainText);

    auto* texts = new QVBoxLayout;
    texts->setSpacing(4);
    texts->addWidget(FileNameLabel);
    texts->addWidget(Label1);
    texts->addStretch(1);
    auto* top = new QHBoxLayout;
    top->setSpacing(16);
    top->addWidget(QuestionIcon, 0, Qt::AlignTop);
    top->addLayout(texts, 1);

    // None of the buttons answers Enter on its own: each answer is a deliberate choice.
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(13);
    buttons->addSpacing(48);
    BtnYes = MakeButton("BtnYes", "&Yes", &TOverwritePromptForm::BtnYesClick);
    BtnNo = MakeButton("BtnNo", "&No", &TOverwritePromptForm::BtnNoClick);
    BtnYesAll = MakeButton("BtnYesAll", "&Yes to All", &TOverwritePromptForm::BtnYesAllClick);
    BtnNoAll = MakeButton("BtnNoAll", "N&o to All", &TOverwritePromptForm::BtnNoAllClick);
    BtnCancel = MakeButton("BtnCancel", "&Cancel", &TOverwritePromptForm::BtnCancelClick);
    for (QPushButton* button : {BtnYes, BtnNo, BtnYesAll, BtnNoAll, BtnCancel})
        buttons->addWidget(button);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 17, 13);
    layout->setSpacing(16);
    layout->addLayout(top);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

QPushButton* TOverwritePromptForm::MakeButton(const char* name, const QString& caption,
                                               void (TOverwritePromptForm::*handler)())
{
    auto* button = new QPushButton(caption, this);
    button->setObjectName(QString::fromLatin1(name));
    button->setAutoDefault(false);
    button->setDefault(false);
    button->setMinimumSize(75, 25);
    button->installEventFilter(this);
    connect(button, &QPushButton::clicked, this, handler);
    return button;
}

OverwriteAnswer TOverwritePromptForm::AskOverwrite(const QString& path)
{
    Path = path;
    FileNameLabel->SetFullText(path);
    FileNameLabel->setToolTip(FileNameLabel->text() == path ? QString() : path);
    Chosen = AnswerCancel;
    FocusChosen = false;
    exec();
    return Chosen;
}

bool TOverwritePromptForm::eventFilter(QObject* watched, QEvent* event)
{
    // The user goes to a button by its access key, Tab or an arrow key. Focus events alone do not
    // tell: showing the dialog gives a button the focus as if by Tab.
    if (event->type() == QEvent::Shortcut)
        FocusChosen = true;
    if (event->type() == QEvent::KeyPress) {
        switch (static_cast<QKeyEvent*>(event)->key()) {
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
        case Qt::Key_Left:
        case Qt::Key_Right:
        case Qt::Key_Up:
        case Qt::Key_Down:
            FocusChosen = true;
            break;
        default:
            break;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TOverwritePromptForm::keyPressEvent(QKeyEvent* event)
{
    if (event->matches(QKeySequence::Cancel)) {
        event->accept();
        return;
    }
    // Enter answers with the button the user went to: "&Yes" and "&Yes to All" share Alt+Y,
    // which only moves the focus between them. The button that has the focus when the question
    // comes up is no choice.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        auto* button = qobject_cast<QPushButton*>(focusWidget());
        if (FocusChosen && button && button->parent() == this)
            button->click();
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TOverwritePromptForm::Finish(OverwriteAnswer answer)
{
    Chosen = answer;
    accept();
}

void TOverwritePromptForm::BtnYesClick() { Finish(AnswerYes); }
void TOverwritePromptForm::BtnNoClick() { Finish(AnswerNo); }
void TOverwritePromptForm::BtnYesAllClick() { Finish(AnswerYesToAll); }
void TOverwritePromptForm::BtnNoAllClick() { Finish(AnswerNoToAll); }
void TOverwritePromptForm::BtnCancelClick() { Finish(AnswerCancel); }
