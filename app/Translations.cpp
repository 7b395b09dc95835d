#include "app/Translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QPointer>
#include <QTranslator>

namespace {
QPointer<QTranslator> g_own;
QPointer<QTranslator> g_qt;
}  // namespace

bool InstallTranslations(const QLocale& locale) {
  RemoveTranslations();
  auto* app = QCoreApplication::instance();
  g_own = new QTranslator(app);
  const bool found = g_own->load(locale, QStringLiteral("frostwipe"), QStringLiteral("_"),
                                 QStringLiteral(":/i18n"));
  if (found) QCoreApplication::installTranslator(g_own);
  g_qt = new QTranslator(app);
  if (g_qt->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                 QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    QCoreApplication::installTranslator(g_qt);
  return found;
}

void RemoveTranslations() {
  for (QPointer<QTranslator>* translator : {&g_own, &g_qt}) {
    if (!*translator) continue;
    QCoreApplication::removeTranslator(*translator);
    delete translator->data();
  }
}
