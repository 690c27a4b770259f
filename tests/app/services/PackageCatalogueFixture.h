#pragma once

// A package catalogue as the backend sends it (the "result" array of
// "languageModels"), covering every kind of item the mapper meets.
inline constexpr const char *kPackageCatalogue = R"json([
  {"lang": "de", "local_lang": "Deutsch", "type": "opennmt-desktop", "version": "3",
   "model": {"size": 104857600, "url": "models/de.zip"}, "compressedSize": "95 MB",
   "update": {"compressedSize": "12 MB", "size": 20971520, "url": "https://cdn.example/models/de-4.zip"}},
  {"lang": "de", "local_lang": "Deutsch", "type": "tesseract", "version": "1",
   "model": {"size": 1572864, "url": "ocr/deu.zip"}, "compressedSize": 1200000, "update": null},
  {"lang": "de", "local_lang": "Deutsch", "type": "opennmt-mobile", "version": "3",
   "model": {"size": 1048576, "url": "mobile/de.zip"}, "compressedSize": "1 MB"},
  {"lang": "fr", "local_lang": "Français", "type": "opennmt-desktop", "version": "2",
   "model": {"size": 105277030.4, "url": "models/fr.zip"}, "compressedSize": "90 MB"},
  {"lang": "fr", "local_lang": "Français", "type": "wordnet", "version": "2",
   "model": {"size": 52743372.8, "url": "dict/fr.zip"}, "compressedSize": "40 MB"},
  {"lang": "en", "local_lang": "English", "type": "parseImageObjectIOS", "version": "1",
   "model": {"size": 3145728, "url": "objects/en.zip"}, "compressedSize": "3 MB"},
  {"lang": "fr", "local_lang": "Français", "type": "parseImageObjectIOS", "version": "1",
   "model": {"size": 3145728, "url": "objects/fr.zip"}, "compressedSize": "3 MB"},
  {"lang": "it", "local_lang": "Italiano", "type": "mtplz", "version": "1",
   "model": {"size": 5242880, "url": "models/it.zip"}, "compressedSize": "5 MB"},
  {"lang": "tl", "local_lang": "Tlingit", "type": "opennmt-mobile", "version": "1",
   "model": {"size": 5242880, "url": "mobile/tl.zip"}, "compressedSize": "5 MB"},
  {"lang": "xx", "local_lang": "Broken", "type": "opennmt-desktop", "version": "1", "compressedSize": "1 MB"}
])json";
