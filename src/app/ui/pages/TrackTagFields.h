#pragma once
// The tag fields of the shown track on the MP3 and FLAC pages, with the track
// list whose items show each track's name.
#include "output/TrackTags.h"

class QComboBox;
class QLineEdit;
class QListWidget;

struct TrackTagFields {
    QListWidget* list = nullptr;
    QLineEdit* name = nullptr;
    QLineEdit* artist = nullptr;
    QLineEdit* album = nullptr;
    QComboBox* year = nullptr;
    QComboBox* genre = nullptr;
    QLineEdit* comments = nullptr;

    sv::TrackTags read() const;
    // Year and genre as text.
    void show(const sv::TrackTags& t) const;
    // Stores the fields as track number's; the name field and the track's
    // list item then show the name as stored. False when it was not stored.
    bool store(const QString& indexPath, int number) const;
};
