#include "app/recentfiles.h"

QString ListToStr(const QStringList& items)
{
    return items.join(QLatin1Char('\t'));
}

void StrToList(QStringList& items, const QString& text)
{
    for (const QString& piece : text.split(QLatin1Char('\t'), Qt::SkipEmptyParts))
        items.append(piece);
}

void AddRecent(QStringList& items, const QString& text)
{
    qsizetype found = -1;
    for (qsizetype i = 0; i < items.size(); ++i) {
        if (items[i].compare(text, Qt::CaseInsensitive) == 0) {
            found = i;
            break;
        }
    }
    if (found > 0)
        items.removeAt(found);
    if (found != 0)
        items.prepend(text);
    while (items.size() > 10)
        items.removeAt(10);
}
