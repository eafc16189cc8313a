// SPDX-License-Identifier: GPL-3.0-or-later
// kavro-man-page: writes the manual page of one of Kavro's programs from what the
// program itself prints for --help (and, for a program with commands, what each
// command prints for --help), so that the page says what the program does. Used by
// the build; not installed.
//
//   kavro-man-page OUTPUT.1 PROGRAM DATE SUMMARY [--commands] [--see-also PAGE]...
//                  [--example COMMAND TEXT]...
#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSaveFile>

#include <cstdio>
#include <optional>

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;
constexpr int kHelpTimeoutMs = 30000;

struct Request {
    QString output;
    QString program;
    QString date;
    QString summary;
    bool commands = false;
    QStringList seeAlso;
    QList<std::pair<QString, QString>> examples;
};

// What the program prints for these arguments; nothing when it does not end well.
std::optional<QString> printedBy(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(kHelpTimeoutMs) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        return std::nullopt;
    }
    return QString::fromUtf8(process.readAllStandardOutput());
}

// Text as roff reads it: backslashes and minus signs escaped (options and names are
// typed as written), a leading dot or quote kept from being read as a request.
QString escaped(QString text) {
    text.replace(u'\\', QStringLiteral("\\e"));
    text.replace(u'-', QStringLiteral("\\-"));
    text.replace(QChar(0x2014), QStringLiteral("\\(em"));
    if (text.startsWith(u'.') || text.startsWith(u'\'')) {
        text.prepend(QStringLiteral("\\&"));
    }
    return text;
}

// The term of a list entry: the option or command in bold, its arguments in italics.
QString term(const QString& text) {
    const qsizetype space = text.indexOf(u' ');
    if (space < 0) {
        return QStringLiteral("\\fB") + escaped(text) + QStringLiteral("\\fR");
    }
    return QStringLiteral("\\fB") + escaped(text.left(space)) + QStringLiteral("\\fR \\fI") +
           escaped(text.mid(space + 1)) + QStringLiteral("\\fR");
}

struct Help {
    QStringList usage;
    QStringList body;
};

// The help's usage lines ("Usage: " and the lines indented under it), and the rest.
Help splitHelp(const QString& text) {
    Help help;
    const QStringList lines = text.split(u'\n');
    qsizetype index = 0;
    if (!lines.isEmpty() && lines.front().startsWith(QStringLiteral("Usage: "))) {
        help.usage << lines.front().mid(7).trimmed();
        for (index = 1; index < lines.size() && lines.at(index).startsWith(u' '); ++index) {
            help.usage << lines.at(index).trimmed();
        }
    }
    help.body = lines.mid(index);
    return help;
}

QString synopsis(const QStringList& usage) {
    QStringList lines;
    for (const QString& line : usage) {
        lines << escaped(line);
    }
    return lines.join(QStringLiteral("\n.br\n")) + u'\n';
}

// The help's paragraphs, and its lists: an entry is indented by two spaces with its
// description after a gap of two or more, and continues on lines indented further.
QString bodyRoff(const QStringList& lines) {
    static const QRegularExpression entry(QStringLiteral("^  (\\S.*?)(?: {2,}(\\S.*))?$"));
    static const QRegularExpression continuation(QStringLiteral("^   +(\\S.*)$"));
    QString roff;
    bool paragraphOpen = false;
    for (const QString& line : lines) {
        if (line.trimmed().isEmpty()) {
            paragraphOpen = false;
            continue;
        }
        if (const auto match = continuation.match(line); match.hasMatch()) {
            roff += escaped(match.captured(1)) + u'\n';
        } else if (const auto item = entry.match(line); item.hasMatch()) {
            roff += QStringLiteral(".TP\n") + term(item.captured(1)) + u'\n';
            if (item.hasCaptured(2)) {
                roff += escaped(item.captured(2)) + u'\n';
            }
            paragraphOpen = false;
        } else {
            if (!paragraphOpen) {
                roff += QStringLiteral(".PP\n");
                paragraphOpen = true;
            }
            roff += escaped(line.trimmed()) + u'\n';
        }
    }
    return roff;
}

// The commands a program lists under "Commands:", in its order.
QStringList listedCommands(const QStringList& body) {
    static const QRegularExpression entry(QStringLiteral("^  (\\S+)(?: {2,}|$)"));
    QStringList commands;
    bool inList = false;
    for (const QString& line : body) {
        if (line.trimmed().isEmpty()) {
            inList = false;
        } else if (line == QStringLiteral("Commands:")) {
            inList = true;
        } else if (const auto match = entry.match(line); inList && match.hasMatch()) {
            commands << match.captured(1);
        }
    }
    return commands;
}

// Each command's own help, as a subsection of COMMANDS.
std::optional<QString> commandsRoff(const QString& program, const QString& name,
                                    const QStringList& commands) {
    QString roff = QStringLiteral(".SH COMMANDS\n");
    for (const QString& command : commands) {
        const auto text = printedBy(program, {command, QStringLiteral("--help")});
        if (!text) {
            std::fprintf(stderr, "kavro-man-page: %s %s --help failed\n", qPrintable(name),
                         qPrintable(command));
            return std::nullopt;
        }
        const Help help = splitHelp(*text);
        roff += QStringLiteral(".SS \"") + escaped(command) + QStringLiteral("\"\n.PP\n") +
                synopsis(help.usage) + bodyRoff(help.body);
    }
    return roff;
}

QString closingSections(const Request& request) {
    QString roff;
    if (!request.examples.isEmpty()) {
        roff += QStringLiteral(".SH EXAMPLES\n");
        for (const auto& [command, text] : request.examples) {
            roff += QStringLiteral(".TP\n\\fB") + escaped(command) + QStringLiteral("\\fR\n") +
                    escaped(text) + u'\n';
        }
    }
    if (!request.seeAlso.isEmpty()) {
        QStringList pages;
        for (const QString& page : request.seeAlso) {
            pages << QStringLiteral("\\fB") + escaped(page) + QStringLiteral("\\fR(1)");
        }
        roff += QStringLiteral(".SH \"SEE ALSO\"\n") + pages.join(QStringLiteral(", ")) + u'\n';
    }
    return roff;
}

std::optional<QString> manPage(const Request& request) {
    const QString name = QFileInfo(request.program).fileName();
    const auto version = printedBy(request.program, {QStringLiteral("--version")});
    const auto text = printedBy(request.program, {QStringLiteral("--help")});
    if (!version || !text) {
        std::fprintf(stderr, "kavro-man-page: %s --version or --help failed\n", qPrintable(name));
        return std::nullopt;
    }
    const Help help = splitHelp(*text);
    QString roff = QStringLiteral(".TH \"%1\" 1 \"%2\" \"%3\" \"User Commands\"\n")
                       .arg(escaped(name.toUpper()), request.date, escaped(version->section(u'\n', 0, 0)));
    // Options and names read better whole than broken across lines.
    roff += QStringLiteral(".nh\n");
    roff += QStringLiteral(".SH NAME\n") + escaped(name) + QStringLiteral(" \\- ") +
            escaped(request.summary) + QStringLiteral("\n.SH SYNOPSIS\n") + synopsis(help.usage) +
            QStringLiteral(".SH DESCRIPTION\n") + bodyRoff(help.body);
    if (request.commands) {
        const auto commands = commandsRoff(request.program, name, listedCommands(help.body));
        if (!commands) {
            return std::nullopt;
        }
        roff += *commands;
    }
    return roff + closingSections(request);
}

std::optional<Request> parse(const QStringList& arguments) {
    if (arguments.size() < 4) {
        return std::nullopt;
    }
    Request request;
    request.output = arguments.at(0);
    request.program = arguments.at(1);
    request.date = arguments.at(2);
    request.summary = arguments.at(3);
    for (qsizetype index = 4; index < arguments.size(); ++index) {
        const QString& option = arguments.at(index);
        const qsizetype left = arguments.size() - index - 1;
        if (option == QStringLiteral("--commands")) {
            request.commands = true;
        } else if (option == QStringLiteral("--see-also") && left >= 1) {
            request.seeAlso << arguments.at(++index);
        } else if (option == QStringLiteral("--example") && left >= 2) {
            request.examples.append({arguments.at(index + 1), arguments.at(index + 2)});
            index += 2;
        } else {
            return std::nullopt;
        }
    }
    return request;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    const auto request = parse(application.arguments().mid(1));
    if (!request) {
        std::fputs("Usage: kavro-man-page OUTPUT.1 PROGRAM DATE SUMMARY [--commands] [--see-also PAGE]...\n"
                   "                      [--example COMMAND TEXT]...\n",
                   stderr);
        return kExitUsage;
    }
    const auto page = manPage(*request);
    if (!page) {
        return kExitFailure;
    }
    QSaveFile output(request->output);
    if (!output.open(QIODevice::WriteOnly) || output.write(page->toUtf8()) < 0 || !output.commit()) {
        std::fprintf(stderr, "kavro-man-page: cannot write %s\n", qPrintable(request->output));
        return kExitFailure;
    }
    return 0;
}
