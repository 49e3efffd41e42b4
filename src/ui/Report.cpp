// Placeholder document so that the report window builds; the report builder replaces this file.
#include "ui/Report.h"

#include "device/DriveRecord.h"

bool ExpertMode = false;
bool PublishMode = false;

namespace {

std::string Escaped(const std::string& text) {
    std::string out;
    for (const char c : text) {
        if (c == '\\' || c == '{' || c == '}') out += '\\';
        out += c;
    }
    return out;
}

}  // namespace

ReportDocument BuildReportDocument(const std::vector<std::string>& unrecognisedDisks) {
    ReportDocument doc;
    if (DriveTable.Count == 0) doc.Pieces.push_back({"S.M.A.R.T. is not available! Please publish the KORVANTE data.", "", false});
    for (unsigned i = 0; i < DriveTable.Count; ++i) {
        doc.Pieces.push_back({"Model - " + SnapshotDrive(i).Model, "", i > 0});
        doc.Pieces.push_back({"Form-factor", "https://example.invalid/form_factor.htm", true});
    }
    if (PublishMode)
        for (const std::string& line : unrecognisedDisks) doc.Pieces.push_back({line, "", true});
    return doc;
}

std::string ReportRtf(const ReportDocument& doc) {
    std::string body;
    for (const ReportPiece& p : doc.Pieces) {
        if (p.NewLine) body += "\\line ";
        if (p.Link.empty()) body += Escaped(p.Text);
        else
            body += "{\\colortbl;\\red0\\green0\\blue255;}{\\field{\\fldinst{HYPERLINK " + p.Link +
                    " }}{\\fldrslt{\\cf1 " + Escaped(p.Text) + "\\cf0}}}";
    }
    return "{\\rtf3\\li80\\sb40\\sa80\\tx280\\fcharset0 " + body + "\\par}";
}

std::string ReportPlainText(const ReportDocument& doc) {
    std::string text;
    for (const ReportPiece& p : doc.Pieces) text += (p.NewLine ? "\n" : "") + p.Text;
    return text;
}
