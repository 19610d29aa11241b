#pragma once
// The store's line dialect: one tag or one parameter per line, classified
// once when a file is read, and the reference escaping of values.
#include <QByteArray>
#include <QHash>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

namespace sv::xml {

inline const QByteArray kHeader = QByteArrayLiteral("<XML Version=\"Quarrydale\">");
inline const QByteArray kFooter = QByteArrayLiteral("</XML>");

// A new file: the header and the footer.
QByteArray newFileBytes();

inline QString fold(const QString& s) { return s.toCaseFolded(); }

enum class NameState : unsigned char { Ok, Broken };

// One classified line of a store file.
struct Line {
    QByteArray raw; // as in the file, without its line end
    QByteArray t;   // without leading and trailing spaces
    bool open = false, close = false, param = false, startsClose = false, noGt = false;
    NameState nameState = NameState::Ok;
    QString tag;   // folded name of an open or close tag
    QString pname; // folded parameter name
};

struct Doc {
    std::vector<Line> lines;
    QHash<QString, std::vector<int>> opens; // folded section name -> its start lines, ascending
    bool damaged = false;
};

Line classify(const QByteArray& raw);
// Lines end at CR LF, CR or LF.
std::shared_ptr<Doc> parse(const QByteArray& data);

QByteArray openTagName(const QByteArray& t);
// The decoded value of a parameter line.
QString valueOf(const Line& l);
// What the reader makes of one parameter line.
std::optional<QString> readBack(const QByteArray& line, const QString& key);

} // namespace sv::xml
