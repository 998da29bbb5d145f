// The project's own web addresses, kept in one place.
#pragma once

// The plug-in's page and the technical support page, in English and in Russian.
#define Y2E_PLUGIN_PAGE_URL_EN "https://yarrin2evernote.org/en/plugin.html"
#define Y2E_PLUGIN_PAGE_URL_RU "https://yarrin2evernote.org/ru/plugin.html"
#define Y2E_SUPPORT_PAGE_URL_EN "https://yarrin2evernote.org/en/support.html"
#define Y2E_SUPPORT_PAGE_URL_RU "https://yarrin2evernote.org/ru/support.html"

// Named in the comment that every sent note carries.
#define Y2E_MAKER_URL "https://yarrin2evernote.org/"
