#pragma once

// Checks icons against what the Windows icon loader and the shell need: an .ico file, or
// every RT_GROUP_ICON of an .exe/.dll with the RT_ICON images it names.  Each finding
// has a severity, a rule id and a sentence saying what is wrong:
//   error    Windows does not show that image (refused or blank), or the file is damaged;
//   warning  shown, but blurry or wasteful;
//   note     worth knowing.
// Every read of the file's bytes is bounded by what the file holds (ByteReader); a
// hostile file gives findings, never a read past its end.  Images are decoded through the
// listing's decoders with their limits, and only as far as the quality rules need them.

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>

#include <memory>

namespace IcoLint {

enum class Severity { Note, Warning, Error };

struct Finding
{
    Severity severity = Severity::Note;
    QString rule;  // a rule id of rules()
    int entry = 0; // the directory entry it is about, counted from 1; 0 for the whole
    QString text;  // what is wrong, in words
};

// The findings of one icon: the .ico file itself (group empty) or one icon group of a
// library, named by its resource name (a number or a string).
struct Icon
{
    QString group;
    QList<Finding> findings;
};

struct FileReport
{
    QString failure;  // set when the file could not be read at all
    QList<Icon> icons;
    bool hasErrors() const;
};

struct Rule
{
    const char* id;
    Severity severity;
    const char* sentence;
};

// Every rule, in the order the findings of one entry are checked.
const QList<Rule>& rules();

const char* severityName(Severity severity);

// An .ico file's bytes.
QList<Finding> checkIcoBytes(const QByteArray& bytes);
// One RT_GROUP_ICON payload with the file's RT_ICON payloads by ID.
QList<Finding> checkGroup(const QByteArray& group, const QMap<quint16, QByteArray>& icons);
// A file on disk: an .ico (by its header, whatever its name) or a PE file.  The calling
// thread checks a library's groups, helped by any thread of QThreadPool::globalInstance()
// that comes free; it may be one of that pool's own.
FileReport checkFile(const QString& path);

// Checks files one after another or side by side, remembering its verdicts on the
// images of the libraries it met: an image met again, in another group or another
// library, is judged once.  For that it keeps those libraries' icon bytes while it
// lives, up to 64 MiB, beyond which a library is judged as checkFile() alone would.
// checkFile may be called from several threads at once.
struct Memo;
class Session
{
public:
    Session();
    ~Session();
    FileReport checkFile(const QString& path);

private:
    std::unique_ptr<Memo> m_memo;
};

} // namespace IcoLint
