#include "help/ChmArchive.h"

#include <QFile>
#include <QRegularExpression>

#include <chm_lib.h>

namespace sv {

ChmArchive::~ChmArchive() { close(); }

bool ChmArchive::open(const QString& path)
{
    close();
    // chmlib happily opens some non-archives and fails later; the file
    // signature settles it first.
    QFile probe(path);
    if (!probe.open(QIODevice::ReadOnly) || probe.read(4) != QByteArrayLiteral("ITSF"))
        return false;
    probe.close();
    m_file = chm_open(QFile::encodeName(path).constData());
    if (m_file)
        m_path = path;
    return m_file != nullptr;
}

void ChmArchive::close()
{
    if (m_file)
        chm_close(m_file);
    m_file = nullptr;
    m_path.clear();
}

QString ChmArchive::objectPath(const QString& name)
{
    QString p = name;
    p.replace(QLatin1Char('\\'), QLatin1Char('/'));
    const int cut = p.indexOf(QRegularExpression(QStringLiteral("[#?]")));
    if (cut >= 0)
        p.truncate(cut);
    if (!p.startsWith(QLatin1Char('/')))
        p.prepend(QLatin1Char('/'));
    return p;
}

bool ChmArchive::contains(const QString& name) const
{
    if (!m_file)
        return false;
    chmUnitInfo ui{};
    return chm_resolve_object(m_file, objectPath(name).toUtf8().constData(), &ui) == CHM_RESOLVE_SUCCESS;
}

QByteArray ChmArchive::read(const QString& name) const
{
    if (!m_file)
        return {};
    chmUnitInfo ui{};
    if (chm_resolve_object(m_file, objectPath(name).toUtf8().constData(), &ui) != CHM_RESOLVE_SUCCESS)
        return {};
    // Help topics and pictures are small; anything absurd is a damaged file.
    if (ui.length > 64u * 1024u * 1024u)
        return {};
    QByteArray data(static_cast<qsizetype>(ui.length), Qt::Uninitialized);
    const LONGINT64 got = chm_retrieve_object(m_file, &ui, reinterpret_cast<unsigned char*>(data.data()), 0,
                                              static_cast<LONGINT64>(ui.length));
    if (got != static_cast<LONGINT64>(ui.length))
        return {};
    return data;
}

namespace {
int collect(chmFile*, chmUnitInfo* ui, void* context)
{
    auto* list = static_cast<QStringList*>(context);
    list->append(QString::fromUtf8(ui->path));
    return CHM_ENUMERATOR_CONTINUE;
}
} // namespace

QStringList ChmArchive::files() const
{
    QStringList list;
    if (m_file)
        chm_enumerate(m_file, CHM_ENUMERATE_NORMAL | CHM_ENUMERATE_FILES, collect, &list);
    return list;
}

} // namespace sv
