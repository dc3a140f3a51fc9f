#include "ui/qt/log_text_filter.h"

namespace vantrel {
namespace {

constexpr QChar kLineEnd = u'\n';
constexpr QChar kUnprintable = QChar::ReplacementCharacter;

}  // namespace

QString LogTextFilter::Filter(std::string_view bytes) {
    QString text;
    text.reserve(static_cast<qsizetype>(bytes.size()));
    for (const char byte : bytes) {
        const auto code = static_cast<unsigned char>(byte);
        const bool secondOfPair = code == '\n' && m_afterCarriageReturn;
        m_afterCarriageReturn = code == '\r';
        if (code == '\r' || code == '\n') {
            if (!secondOfPair) {
                text += kLineEnd;
                m_column = 0;
            }
            continue;
        }
        if (m_column == kMaxLineLength) {
            text += kLineEnd;
            m_column = 0;
        }
        const bool control = (code < 0x20 && code != '\t') || code == 0x7F;
        text += control ? kUnprintable : QChar(code);
        ++m_column;
    }
    return text;
}

void LogTextFilter::Reset() {
    m_column = 0;
    m_afterCarriageReturn = false;
}

}  // namespace vantrel
