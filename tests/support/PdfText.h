#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace tkan::test {

// Standard output of a shell command; empty when it does not run.
inline std::string CaptureCommand(const std::string& command)
{
    std::string out;
    if (std::FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        std::size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
            out.append(buffer, n);
        pclose(pipe);
    }
    return out;
}

// Whether poppler's pdftotext and pdftoppm are there to read PDFs back.
inline bool HavePdfTools()
{
    return !CaptureCommand("command -v pdftotext").empty() && !CaptureCommand("command -v pdftoppm").empty();
}

// The text of each page of a PDF, as the extractor lays it out.
inline std::vector<std::string> PdfPages(const std::string& pdf)
{
    std::string text = CaptureCommand("pdftotext -layout '" + pdf + "' -");
    std::vector<std::string> pages;
    std::size_t start = 0;
    for (std::size_t feed; (feed = text.find('\f', start)) != std::string::npos; start = feed + 1)
        pages.push_back(text.substr(start, feed - start));
    return pages;
}

}  // namespace tkan::test
