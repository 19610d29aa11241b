#pragma once
// Folder-name completion for the editable save-location boxes: typing part of
// a path offers the folders that start with it; Tab accepts the completion.
class QComboBox;

namespace sv {

void EnablePathCompletion(QComboBox* box);

} // namespace sv
