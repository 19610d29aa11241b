#include "app/ui/pages/TrackTagFields.h"

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>

sv::TrackTags TrackTagFields::read() const
{
    return {name->text(), artist->text(), album->text(), year->currentText(), genre->currentText(), comments->text()};
}

void TrackTagFields::show(const sv::TrackTags& t) const
{
    name->setText(t.name);
    artist->setText(t.artist);
    album->setText(t.album);
    year->setEditText(t.year);
    genre->setEditText(t.genre);
    comments->setText(t.comments);
}

bool TrackTagFields::store(const QString& indexPath, int number) const
{
    sv::TrackTags t = read();
    if (!sv::SaveTrackTags(indexPath, number, t))
        return false;
    // An empty name was stored as "Track n"; the list shows what is stored.
    name->setText(t.name);
    if (QListWidgetItem* item = list->item(number - 1))
        item->setText(t.name);
    return true;
}
