// The main window's find as you type: the filter field above the track list.
#include "TMainForm.h"

#include "RowSelection.h"
#include "TrackListModel.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QShortcut>
#include <QTreeView>
#include <QVBoxLayout>

QWidget* TMainForm::CreateTrackFilter(QWidget* list)
{
    TrackFilter = new QLineEdit;
    TrackFilter->setObjectName("TrackFilter");
    TrackFilter->setPlaceholderText("Filter by title, artist or album");
    TrackFilter->setClearButtonEnabled(true);
    TrackFilter->installEventFilter(this);
    connect(TrackFilter, &QLineEdit::textChanged, this, &TMainForm::TrackFilterChange);

    LblFilterCount = new QLabel;
    LblFilterCount->setObjectName("LblFilterCount");
    LblFilterCount->setTextFormat(Qt::PlainText);
    LblFilterCount->setVisible(false);

    // Ctrl+K is taken by no command of the window.
    TrackFilterShortcut = new QShortcut(QKeySequence("Ctrl+K"), this);
    TrackFilterShortcut->setObjectName("TrackFilterShortcut");
    connect(TrackFilterShortcut, &QShortcut::activated, this, [this] {
        TrackFilter->setFocus(Qt::ShortcutFocusReason);
        TrackFilter->selectAll();
    });

    TrackListItems->SetFilter([this](std::int32_t ordinal) {
        if (FilterWords.Empty())
            return true;
        if (FilterMatches.empty() && SortKeys)
            FilterMatches = SortKeys->MatchingTracks(FilterWords);
        return ordinal >= 0 && static_cast<std::size_t>(ordinal) < FilterMatches.size()
               && FilterMatches[static_cast<std::size_t>(ordinal)] != 0;
    });
    connect(TrackListItems, &QAbstractItemModel::modelReset, this, &TMainForm::ShowFilterCount);

    auto* pane = new QWidget;
    pane->setObjectName("TrackPane");
    auto* bar = new QHBoxLayout;
    bar->setContentsMargins(0, 0, 0, 0);
    bar->addWidget(TrackFilter, 1);
    bar->addWidget(LblFilterCount);
    auto* layout = new QVBoxLayout(pane);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addLayout(bar);
    layout->addWidget(list, 1);
    return pane;
}

void TMainForm::TrackFilterChange(const QString& text)
{
    MatchWords words(text.toStdU16String());
    // Another blank or a letter that folds the same shows the same rows.
    if (words.List() == FilterWords.List()) {
        ShowFilterCount();
        return;
    }
    FilterWords = std::move(words);
    FilterMatches.clear();
    FilterTrackList();
}

void TMainForm::FilterTrackList()
{
    QItemSelectionModel& selection = *TrackList->selectionModel();
    // The selection and the current row by their place among all rows of the playlist.
    const std::vector<char> selectedRows = SelectedRowMask(selection);
    const std::vector<int> before = TrackListItems->ShownPositions();
    std::vector<char> selectedAt(TrackListItems->AllTracks().size(), 0);
    for (std::size_t row = 0; row < selectedRows.size() && row < before.size(); ++row)
        selectedAt[static_cast<std::size_t>(before[row])] = selectedRows[row];
    const int currentRow = selection.currentIndex().row();
    const int currentAt = currentRow >= 0 && static_cast<std::size_t>(currentRow) < before.size()
                              ? before[static_cast<std::size_t>(currentRow)]
                              : -1;

    TrackListItems->Refilter();

    const std::vector<int>& after = TrackListItems->ShownPositions();
    std::vector<char> keep(after.size(), 0);
    int newCurrent = -1;
    for (std::size_t row = 0; row < after.size(); ++row) {
        keep[row] = selectedAt[static_cast<std::size_t>(after[row])];
        if (after[row] == currentAt)
            newCurrent = static_cast<int>(row);
    }
    if (newCurrent >= 0) {
        selection.setCurrentIndex(TrackListItems->index(newCurrent, 0), QItemSelectionModel::NoUpdate);
        TrackList->scrollTo(TrackListItems->index(newCurrent, 0));
    }
    SelectRowMask(selection, keep);
}

void TMainForm::ShowFilterCount()
{
    const bool shown = !TrackFilter->text().isEmpty();
    if (shown) {
        const QLocale locale;
        LblFilterCount->setText(locale.toString(TrackListItems->rowCount()) + " of "
                                + locale.toString(static_cast<qlonglong>(TrackListItems->AllTracks().size())));
    }
    LblFilterCount->setVisible(shown);
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event)
{
    // Whoever goes to the field is about to type: the texts are folded now rather than under the
    // first key.
    if (watched == TrackFilter && event->type() == QEvent::FocusIn && SortKeys)
        SortKeys->PrepareMatching();
    if (watched == TrackFilter && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool plain = (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
        switch (plain ? key->key() : 0) {
        case Qt::Key_Escape:
            TrackFilter->clear();
            TrackList->setFocus(Qt::OtherFocusReason);
            return true;
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Down:
            TrackList->setFocus(Qt::OtherFocusReason);
            return true;
        default:
            break;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}
