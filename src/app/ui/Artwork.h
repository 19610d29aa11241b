#pragma once
// Our own artwork, drawn as vectors so it is sharp at any scale.
class QPainter;
class QRectF;
class QIcon;

namespace art {
// The wizard's page background: a soft gradient with a cassette and a record
// in the lower right corner.
void PaintPageBackground(QPainter& p, const QRectF& r);
// The program's window icon.
QIcon ProgramIcon();
} // namespace art
