#include <fstream>
#include <set>

#include "ReportExport.h"

namespace bx {

namespace {

std::string Trim(const std::string& text)
{
    const std::size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

}  // namespace

bool LoadTemplate(const std::string& path, ReportTemplate& report, std::string& error)
{
    std::ifstream in(path);
    if (!in) {
        error = "cannot read the template " + path;
        return false;
    }
    static const std::set<std::string> kDirectives = {"title", "heading",      "line",     "field",
                                                      "rule",  "temperatures", "readings", "dynamic"};
    std::string raw;
    int number = 0;
    bool sawContent = false;
    while (std::getline(in, raw)) {
        ++number;
        const std::string line = Trim(raw);
        if (line.empty() || line[0] == '#')
            continue;
        const std::size_t blank = line.find_first_of(" \t");
        TemplateItem item;
        item.directive = line.substr(0, blank);
        item.text = blank == std::string::npos ? std::string() : Trim(line.substr(blank));
        const std::string where = path + " line " + std::to_string(number);
        if (item.directive == "page") {
            for (std::size_t at = 0; at < item.text.size();) {
                std::size_t end = item.text.find(' ', at);
                const std::string word = item.text.substr(at, end == std::string::npos ? end : end - at);
                if (word == "landscape" || word == "portrait")
                    report.landscape = word == "landscape";
                else if (word == "A4" || word == "Letter")
                    report.letter = word == "Letter";
                else if (!word.empty()) {
                    error = where + ": unknown page setting \"" + word + "\"";
                    return false;
                }
                at = end == std::string::npos ? item.text.size() : end + 1;
            }
            continue;
        }
        if (!kDirectives.count(item.directive)) {
            error = where + ": unknown directive \"" + item.directive + "\"";
            return false;
        }
        if (item.directive == "field") {
            const std::size_t bar = item.text.find('|');
            if (bar == std::string::npos) {
                error = where + ": a field needs \"Label | value\"";
                return false;
            }
            item.value = Trim(item.text.substr(bar + 1));
            item.text = Trim(item.text.substr(0, bar));
        }
        report.items.push_back(item);
        sawContent = true;
    }
    if (in.bad()) {
        error = "cannot read the template " + path;
        return false;
    }
    if (!sawContent) {
        error = path + ": the template shows nothing";
        return false;
    }
    return true;
}

std::string Substitute(const std::string& text, const ReportData& data)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const std::size_t close = text[i] == '{' ? text.find('}', i) : std::string::npos;
        if (close == std::string::npos) {
            out += text[i];
            continue;
        }
        out += data.Value(text.substr(i + 1, close - i - 1));
        i = close;
    }
    return out;
}

}  // namespace bx
