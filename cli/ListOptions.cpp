#include "cli/ListOptions.h"

#include "platform/files/PathFunctions.h"
#include "scan/IgnoreRules.h"
#include "support/SystemErrorText.h"

#include <QDateTime>
#include <QFile>
#include <QStringList>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>

namespace quillmap {

namespace {

constexpr int kLeastFontSize = PrintSettings::kLeastFontSize;
constexpr int kLargestFontSize = PrintSettings::kLargestFontSize;

// A detail's command-line name: its item text in lower case, blanks written as "-".
QString detailName(int item)
{
    return QString::fromLatin1(kDetailItems[item - 1].text).toLower().replace(u' ', u'-');
}

QString validDetailNames()
{
    QStringList names;
    for (int i = 1; i <= DetailTicks::kCount; ++i)
        names << detailName(i);
    return names.join(QStringLiteral(", "));
}

// `text` broken at blanks into lines of at most `width` characters, each indented by `indent`.
QString wrapped(const QString& text, int indent, int width)
{
    QString out, line;
    for (const QString& word : text.split(u' ')) {
        if (!line.isEmpty() && indent + line.size() + 1 + word.size() > width) {
            out += QString(indent, u' ') + line + u'\n';
            line.clear();
        }
        line += (line.isEmpty() ? QString() : QStringLiteral(" ")) + word;
    }
    if (!line.isEmpty())
        out += QString(indent, u' ') + line + u'\n';
    return out;
}

// --exclude-from: the patterns of the file `path`, one a line, each checked.
QString readExcludeFile(const QString& path, QStringList& patterns)
{
    const QByteArray name = QFile::encodeName(path);
    std::FILE* in = std::fopen(name.constData(), "rb");
    if (!in)
        return QStringLiteral("cannot read the exclude file '%1': %2")
            .arg(path, SystemErrorText(errno));
    QByteArray text;
    char buffer[16384];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, in)) > 0)
        text.append(buffer, qsizetype(n));
    const int error = std::ferror(in) ? (errno ? errno : EIO) : 0;
    std::fclose(in);
    if (error)
        return QStringLiteral("cannot read the exclude file '%1': %2")
            .arg(path, SystemErrorText(error));
    for (const QString& pattern : ScanFilters::patternsOfFile(text)) {
        if (const QString why = ListOptions::patternError(pattern); !why.isEmpty())
            return QStringLiteral("in the exclude file '%1': %2").arg(path, why);
        patterns << pattern;
    }
    return {};
}

// --newer, --older: the text, and the moment it names, reckoned from now.
QString parseMoment(const QString& option, const QString& v, QString& text,
                    std::optional<std::int64_t>& at)
{
    std::int64_t seconds = 0;
    if (!ScanFilters::parseTime(v, QDateTime::currentSecsSinceEpoch(), seconds))
        return QStringLiteral("option '--%1': '%2' is not a date or an age (2024-01-31, "
                              "\"2024-01-31 13:45\", 30d, 12h, 2w)")
            .arg(option, v);
    text = v.trimmed();
    at = seconds;
    return {};
}

QString parseBound(const QString& option, const QString& v, std::optional<std::uint64_t>& out)
{
    std::uint64_t bytes = 0;
    if (!ScanFilters::parseSize(v, bytes))
        return QStringLiteral("option '--%1': '%2' is not a size (bytes, or a number with K, M, "
                              "G or T after it)")
            .arg(option, v);
    out = bytes;
    return {};
}

struct SortName
{
    const char* name;
    SortKey key;
};
constexpr SortName kSortNames[] = {
    {"name", SortKey::Name},         {"size", SortKey::Size},
    {"created", SortKey::Created},   {"accessed", SortKey::Accessed},
    {"modified", SortKey::Modified}, {"attributes", SortKey::Attributes},
    {"type", SortKey::Type},         {"files", SortKey::Files},
    {"folders", SortKey::Folders}};

// Notes an option that only a print takes.
QString printOnly(ListOptions& o, const QString& name)
{
    if (o.printOnlyOption.isEmpty())
        o.printOnlyOption = name;
    return QString();
}

// "FIRST-LAST", "FIRST-", "-LAST" or "PAGE", pages from 1; 0 leaves an end open.
bool parsePages(const QString& text, int& first, int& last)
{
    const qsizetype dash = text.indexOf(u'-');
    const QString from = dash < 0 ? text : text.left(dash);
    const QString to = dash < 0 ? text : text.mid(dash + 1);
    if (from.isEmpty() && to.isEmpty())
        return false;
    bool ok = true;
    first = from.isEmpty() ? 0 : from.toInt(&ok);
    if (!ok || (!from.isEmpty() && first < 1))
        return false;
    last = to.isEmpty() ? 0 : to.toInt(&ok);
    if (!ok || (!to.isEmpty() && last < 1))
        return false;
    return last == 0 || first <= last;
}

struct OptionEntry
{
    const char* name; // without the leading "--"
    bool takesValue;
    std::function<QString(ListOptions&, const QString&)> apply;
};

const std::vector<OptionEntry>& optionTable()
{
    static const std::vector<OptionEntry> table = {
        {"levels", true,
         [](ListOptions& o, const QString& v) {
             o.levels = v;
             return QString();
         }},
        {"types", true,
         [](ListOptions& o, const QString& v) {
             o.types = v;
             return QString();
         }},
        {"details", true,
         [](ListOptions& o, const QString& v) { return ListOptions::parseDetails(v, o.details); }},
        {"format", true,
         [](ListOptions& o, const QString& v) {
             if (v == QLatin1String("text"))
                 o.format = ListingFormat::Text;
             else if (v == QLatin1String("tsv"))
                 o.format = ListingFormat::Tsv;
             else if (v == QLatin1String("json"))
                 o.format = ListingFormat::Json;
             else if (v == QLatin1String("html"))
                 o.format = ListingFormat::Html;
             else if (v == QLatin1String("csv"))
                 o.format = ListingFormat::Csv;
             else if (v == QLatin1String("ncdu"))
                 o.format = ListingFormat::Ncdu;
             else
                 return QStringLiteral(
                            "unknown format '%1' (valid: text, tsv, json, html, csv, ncdu)")
                     .arg(v);
             return QString();
         }},
        {"exclude", true,
         [](ListOptions& o, const QString& v) {
             if (const QString why = ListOptions::patternError(v); !why.isEmpty())
                 return QStringLiteral("option '--exclude': ") + why;
             o.filters.exclude << v;
             return QString();
         }},
        {"exclude-from", true,
         [](ListOptions& o, const QString& v) { return readExcludeFile(v, o.filters.exclude); }},
        {"hidden", false,
         [](ListOptions& o, const QString&) {
             o.filters.hidden = true;
             return QString();
         }},
        {"gitignore", false,
         [](ListOptions& o, const QString&) {
             o.filters.gitignore = true;
             return QString();
         }},
        {"folders-only", false,
         [](ListOptions& o, const QString&) {
             o.filters.foldersOnly = true;
             return QString();
         }},
        {"min-size", true,
         [](ListOptions& o, const QString& v) {
             return parseBound(QStringLiteral("min-size"), v, o.filters.minSize);
         }},
        {"max-size", true,
         [](ListOptions& o, const QString& v) {
             return parseBound(QStringLiteral("max-size"), v, o.filters.maxSize);
         }},
        {"newer", true,
         [](ListOptions& o, const QString& v) {
             return parseMoment(QStringLiteral("newer"), v, o.filters.newerText, o.filters.newer);
         }},
        {"older", true,
         [](ListOptions& o, const QString& v) {
             return parseMoment(QStringLiteral("older"), v, o.filters.olderText, o.filters.older);
         }},
        {"sort", true,
         [](ListOptions& o, const QString& v) {
             for (const SortName& s : kSortNames)
                 if (v == QLatin1String(s.name)) {
                     o.order.key = s.key;
                     return QString();
                 }
             QStringList names;
             for (const SortName& s : kSortNames)
                 names << QString::fromLatin1(s.name);
             return QStringLiteral("unknown sort order '%1' (valid: %2)")
                 .arg(v, names.join(QStringLiteral(", ")));
         }},
        {"reverse", false,
         [](ListOptions& o, const QString&) {
             o.order.reverse = true;
             return QString();
         }},
        {"totals", false,
         [](ListOptions& o, const QString&) {
             o.totals = true;
             return QString();
         }},
        {"human-readable", false,
         [](ListOptions& o, const QString&) {
             o.human = true;
             return QString();
         }},
        {"pdf", true,
         [](ListOptions& o, const QString& v) {
             if (v.isEmpty())
                 return QStringLiteral("option '--pdf' needs a file name");
             o.pdfFile = v;
             return QString();
         }},
        {"print", false,
         [](ListOptions& o, const QString&) {
             o.print = true;
             return QString();
         }},
        {"printer", true,
         [](ListOptions& o, const QString& v) {
             if (v.isEmpty())
                 return QStringLiteral("option '--printer' needs a printer name");
             o.print = true;
             o.printerName = v;
             return QString();
         }},
        {"layout", true,
         [](ListOptions& o, const QString& v) {
             if (v == QLatin1String("lines"))
                 o.printSettings.layout = PrintLayout::Lines;
             else if (v == QLatin1String("columns"))
                 o.printSettings.layout = PrintLayout::Columns;
             else
                 return QStringLiteral("unknown layout '%1' (valid: lines, columns)").arg(v);
             return printOnly(o, QStringLiteral("layout"));
         }},
        {"font-size", true,
         [](ListOptions& o, const QString& v) {
             bool ok = false;
             const int size = v.toInt(&ok);
             if (!ok || size < kLeastFontSize || size > kLargestFontSize)
                 return QStringLiteral("font size '%1' is not a whole number of points from %2 "
                                       "to %3")
                     .arg(v)
                     .arg(kLeastFontSize)
                     .arg(kLargestFontSize);
             o.printSettings.fontSize = std::int16_t(size);
             return printOnly(o, QStringLiteral("font-size"));
         }},
        {"regular", false,
         [](ListOptions& o, const QString&) {
             o.printSettings.bold = false;
             return printOnly(o, QStringLiteral("regular"));
         }},
        {"no-footer", false,
         [](ListOptions& o, const QString&) {
             o.printSettings.footer = false;
             return printOnly(o, QStringLiteral("no-footer"));
         }},
        {"pages", true,
         [](ListOptions& o, const QString& v) {
             if (!parsePages(v, o.firstPage, o.lastPage))
                 return QStringLiteral("page range '%1' is not FIRST-LAST, FIRST-, -LAST or one "
                                       "page, counted from 1")
                     .arg(v);
             return printOnly(o, QStringLiteral("pages"));
         }},
        {"compare", true,
         [](ListOptions& o, const QString& v) {
             if (v.isEmpty())
                 return QStringLiteral("option '--compare' needs a file name");
             o.compareWith = QFile::encodeName(v).toStdString();
             return QString();
         }},
        {"changed-only", false,
         [](ListOptions& o, const QString&) {
             o.changedOnly = true;
             return QString();
         }},
        {"help", false,
         [](ListOptions& o, const QString&) {
             o.help = true;
             return QString();
         }},
        {"version", false,
         [](ListOptions& o, const QString&) {
             o.version = true;
             return QString();
         }},
    };
    return table;
}

} // namespace

QString ListOptions::patternError(const QString& pattern)
{
    switch (IgnoreRules::check(pattern.toStdString())) {
    case IgnoreRules::Problem::None:
        return {};
    case IgnoreRules::Problem::Empty:
        return QStringLiteral("the pattern '%1' is empty or a comment (write \\# for a name "
                              "that starts with #)")
            .arg(pattern);
    case IgnoreRules::Problem::UnclosedSet:
        return QStringLiteral("the pattern '%1' has a \"[\" that is not closed, or an unknown "
                              "class")
            .arg(pattern);
    case IgnoreRules::Problem::TrailingBackslash:
        return QStringLiteral("the pattern '%1' ends with a lone \"\\\"").arg(pattern);
    case IgnoreRules::Problem::LineBreak:
        return QStringLiteral("the pattern '%1' holds a line break").arg(pattern);
    }
    return {};
}

QString ListOptions::parseDetails(const QString& list, DetailTicks& out)
{
    DetailTicks ticks;
    for (QString name : list.split(u',', Qt::SkipEmptyParts)) {
        name = name.trimmed().toLower().replace(u'-', u' ').replace(u'_', u' ');
        if (name == QLatin1String("all")) {
            ticks = DetailTicks::all();
            continue;
        }
        int found = 0;
        for (int i = 2; i <= DetailTicks::kCount && !found; ++i)
            if (name == QString::fromLatin1(kDetailItems[i - 1].text).toLower())
                found = i;
        if (!found)
            return QStringLiteral("unknown detail '%1' (valid: %2)")
                .arg(name.replace(u' ', u'-'), validDetailNames());
        ticks.set(found, true);
    }
    out = ticks;
    return {};
}

QString ListOptions::parse(int argc, char** argv)
{
    bool optionsEnded = false;
    bool haveFolder = false;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (!optionsEnded && std::strcmp(arg, "--") == 0) {
            optionsEnded = true;
            continue;
        }
        if (!optionsEnded && (std::strcmp(arg, "-h") == 0)) {
            human = true;
            continue;
        }
        if (!optionsEnded && std::strncmp(arg, "--", 2) == 0) {
            QString name = QString::fromLocal8Bit(arg + 2);
            QString value;
            bool inlineValue = false;
            if (const qsizetype eq = name.indexOf(u'='); eq >= 0) {
                value = name.mid(eq + 1);
                name.truncate(eq);
                inlineValue = true;
            }
            const OptionEntry* entry = nullptr;
            for (const OptionEntry& s : optionTable())
                if (name == QLatin1String(s.name))
                    entry = &s;
            if (!entry)
                return QStringLiteral("unknown option '--%1'").arg(name);
            if (entry->takesValue && !inlineValue) {
                if (i + 1 >= argc)
                    return QStringLiteral("option '--%1' needs a value").arg(name);
                value = QString::fromLocal8Bit(argv[++i]);
            } else if (!entry->takesValue && inlineValue) {
                return QStringLiteral("option '--%1' takes no value").arg(name);
            }
            if (const QString error = entry->apply(*this, value); !error.isEmpty())
                return error;
            continue;
        }
        if (!optionsEnded && arg[0] == '-' && arg[1] != '\0')
            return QStringLiteral("unknown option '%1'").arg(QString::fromLocal8Bit(arg));
        if (haveFolder)
            return QStringLiteral("more than one folder given");
        // An empty name would become the root "/" and list the whole file system.
        if (arg[0] == '\0')
            return QStringLiteral("the folder name is empty");
        // Taken as the window takes the folder it opens: one folder, one root key and title.
        folder = PathFunctions::Normalise(arg);
        haveFolder = true;
    }
    if (!haveFolder && !help && !version)
        return QStringLiteral("no folder given");
    if (changedOnly && compareWith.empty())
        return QStringLiteral("option '--changed-only' needs '--compare'");
    if (!compareWith.empty() && (print || !pdfFile.isEmpty()))
        return QStringLiteral("option '--compare' lists, it does not print");
    if (!printOnlyOption.isEmpty() && !print && pdfFile.isEmpty())
        return QStringLiteral("option '--%1' is for a print: give '--pdf FILE' or '--print' too")
            .arg(printOnlyOption);
    if (!compareWith.empty() && (format == ListingFormat::Html || format == ListingFormat::Csv ||
                                 format == ListingFormat::Ncdu))
        return QStringLiteral("option '--compare' writes text, tsv or json");
    if (filters.minSize && filters.maxSize && *filters.minSize > *filters.maxSize)
        return QStringLiteral("no file is at least %1 and at most %2 bytes")
            .arg(*filters.minSize)
            .arg(*filters.maxSize);
    if (filters.newer && filters.older && *filters.newer >= *filters.older)
        return QStringLiteral("no date is both at or after '%1' and before '%2'")
            .arg(filters.newerText, filters.olderText);
    return {};
}

QString ListOptions::helpText()
{
    return QStringLiteral(
               "Usage: quillmap_list [OPTION]... FOLDER\n"
               "List the folder tree under FOLDER as the Quillmap Print window's search does.\n"
               "\n"
               "  --levels TEXT     how deep to go: \"ALL\" (the default) for no limit, else the\n"
               "                    number at the start of TEXT (0 when there is none); files\n"
               "                    are listed down to that depth, folder nodes one deeper\n"
               "  --types PATTERN   which files to list: \"*\" any run of characters, \"?\" one\n"
               "                    character, letters without regard to case (default \"*.*\",\n"
               "                    every file; an empty pattern also lists every file)\n"
               "  --details LIST    comma-separated details each file line shows, without\n"
               "                    regard to case, \"-\" or \"_\" standing for a space:\n"
               "%1"
               "                    \"all\" shows every one (default: none, bare names)\n"
               "  --format FORMAT   text (default): the tree drawn with connectors;\n"
               "                    tsv: one line per node: level, kind (R root, D folder,\n"
               "                    F file), key, text, with \\\\ \\t \\n \\r and \\xHH escapes;\n"
               "                    json: the search (folder, options, date, counts, the\n"
               "                    entries that could not be read) and the nodes nested as\n"
               "                    key, text, kind and, for files, size, created, accessed,\n"
               "                    modified (seconds since 1970-01-01 UTC), attributes, type;\n"
               "                    a key, text or folder that is not UTF-8 shows U+FFFD for\n"
               "                    each bad byte and keeps its exact bytes as hex digits in\n"
               "                    key_bytes, text_bytes or folder_bytes; a folder also has\n"
               "                    totalSize (bytes), files and folders;\n"
               "                    html: a web page, one file that needs nothing else, with\n"
               "                    the tree, each file's details, each folder's totals and\n"
               "                    a search box (page.html#search=TEXT opens it searched);\n"
               "                    csv: a spreadsheet (RFC 4180, UTF-8), one row per node:\n"
               "                    level, kind, path, name, size, created, last accessed,\n"
               "                    last modified (ISO 8601), attributes, type, and for a\n"
               "                    folder its total size, files and folders, then a row\n"
               "                    for each entry that could not be read; a cell that\n"
               "                    starts with = + - @, tab or CR gets a ' in front and\n"
               "                    is quoted, so no spreadsheet takes it for a formula;\n"
               "                    so does a name or type a spreadsheet would read as a\n"
               "                    number, date, time or truth value (0012, 2024-01-01);\n"
               "                    ncdu: the JSON export of ncdu, which ncdu -f and gdu -f\n"
               "                    open (a file's size stands for its disk usage too).\n"
               "                    Folder totals count what the search listed\n"
               "  --totals          text: each line starts with the size in bytes (a folder's\n"
               "                    over all it holds) and a folder's line ends with its\n"
               "                    number of files and folders; a last line sums up\n"
               "  -h, --human-readable\n"
               "                    sizes of --totals in K, M, G... (powers of 1024)\n"
               "  --pdf FILE        print the tree into the PDF file FILE, with the pages the\n"
               "                    window's Print command prints, instead of listing it\n"
               "  --print           print the tree on the default printer, as the window's\n"
               "                    Print command does, instead of listing it\n"
               "  --printer NAME    print the tree on the printer NAME (as --print does)\n"
               "  --layout LAYOUT   for --pdf and --print: lines (default), one line per node\n"
               "                    with its details after the name; columns, the tree in\n"
               "                    the left column and each detail in a column of its own,\n"
               "                    under headings on every page\n"
               "  --font-size N     for --pdf and --print: the tree in N points (default 8)\n"
               "  --regular         for --pdf and --print: the tree in regular type, not bold\n"
               "  --no-footer       for --pdf and --print: no date, time and page number at\n"
               "                    the foot of the pages\n"
               "  --pages RANGE     for --pdf and --print: only the pages FIRST-LAST, FIRST-,\n"
               "                    -LAST or PAGE (from 1)\n"
               "  --compare OLD     compare FOLDER (or a listing saved as JSON in place of it)\n"
               "                    with the listing OLD saved as JSON (or an export of\n"
               "                    ncdu or gdu, told apart by content), by path below the\n"
               "                    root: every node is added, removed (listed at its old\n"
               "                    place), changed (a file's size or last-modified date, a\n"
               "                    folder's content) or same; text shows + - ~ = before each\n"
               "                    name, tsv the word in a fifth column, json in \"change\";\n"
               "                    a summary goes to standard error\n"
               "  --changed-only    with --compare, list only what differs, with its folders\n"
               "  --exclude PATTERN leave out what PATTERN matches, as a line of a .gitignore\n"
               "                    does: a name at any depth (node_modules, *.tmp), a path\n"
               "                    below FOLDER (/build, docs/*.pdf, **/cache), folders only\n"
               "                    with \"/\" at the end (logs/), \"!\" first to let in again\n"
               "                    what an earlier pattern left out; may be repeated; a\n"
               "                    folder left out is never opened\n"
               "  --exclude-from FILE\n"
               "                    the patterns of FILE, one a line (\"#\" starts a comment)\n"
               "  --hidden          list the names that start with \".\" too\n"
               "  --gitignore       leave out what .gitignore and .ignore files and the\n"
               "                    repository's .git/info/exclude leave out, as git does\n"
               "  --folders-only    list folders, no files\n"
               "  --min-size SIZE, --max-size SIZE\n"
               "                    list files of at least, at most SIZE bytes (or with K, M,\n"
               "                    G, T after it, powers of 1024: 10K, 1.5M)\n"
               "  --newer WHEN, --older WHEN\n"
               "                    list files last modified at or after, before WHEN: a\n"
               "                    date (2024-01-31, \"2024-01-31 13:45\") or an age before\n"
               "                    now (30d, 12h, 2w; s, m, h, d, w, y)\n"
               "  --sort KEY        each folder's children by name (the default), size,\n"
               "                    created, accessed, modified, attributes, type, files or\n"
               "                    folders, folders first, ties by name\n"
               "  --reverse         the sort order turned round\n"
               "  --help            show this help and exit\n"
               "  --version         show the version and exit\n"
               "\n"
               "At the end \"Dirs = N Files = M\" goes to standard error, then one line for each\n"
               "entry that could not be read. The filters are recorded in the json, html, csv\n"
               "and ncdu outputs and on the printout's second line.\n"
               "Exit status: 0 all read; 1 some entries could not be read (the rest is listed);\n"
               "2 bad usage, a FOLDER that can't be listed, or a print that failed.\n"
               "With --compare: 0 nothing differs, 1 something does, 2 trouble (bad usage, a\n"
               "listing that can't be read, a FOLDER that can't be listed).\n")
        .arg(wrapped(validDetailNames() + u';', 20, 80));
}

} // namespace quillmap
