#include "app/log_view/log_text_length.h"

#include <QChar>

std::size_t LogTextLength(QStringView text)
{
    std::size_t length = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        char16_t c = text[i].unicode();
        if (c < 0x80 || c == QChar::ParagraphSeparator)
            length += c < 0x80 ? 1 : 2;
        else if (c < 0x800)
            length += 2;
        else if (QChar::isHighSurrogate(c) && i + 1 < text.size() &&
                 QChar::isLowSurrogate(text[i + 1].unicode()))
            length += 4, ++i;
        else
            length += 3;
    }
    return length;
}
