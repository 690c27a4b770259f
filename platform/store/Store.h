#pragma once

// The object store: every persisted model of the application lives here.
//
// 1. Declare a class once (Schema.h), with typed accessors (Object.h):
//
//   class QVLanguageRealm : public platform::Object {
//   public:
//       QV_STORE_MODEL(QVLanguageRealm)
//       static platform::ObjectSchema schema() {
//           using platform::PropertyType;
//           return platform::ObjectSchema("QVLanguageRealm")
//               .primaryKey("localeIdentifier", PropertyType::String)
//               .property("languageName", PropertyType::String)
//               .property("voiceIDMacBool", PropertyType::Bool)
//               .link("languageModes", "QVLanguageMode")
//               .list("synthesisIos", "QVSpeechSynthesisVoice");
//       }
//       QV_STORE_PROPERTY(QString, languageName, setLanguageName)
//       QV_STORE_PROPERTY(std::optional<bool>, voiceIDMacBool, setVoiceIDMacBool)
//       QV_STORE_PROPERTY(QVLanguageMode, languageModes, setLanguageModes)
//       QV_STORE_LIST(synthesisIos)
//       bool isAuto() const { return get<QString>("localeIdentifier") == "auto-detection"; } // not stored
//   };
//
//    List every class in the StoreConfiguration opened at launch (ObjectStore.h).
//
// 2. Write inside a transaction; a write that runs inside another joins it:
//
//   platform::ObjectStore store = platform::ObjectStore::defaultStore();
//   platform::Error error = store.write([&](platform::Transaction &tx) {
//       QVLanguageRealm en(tx.createOrUpdate("QVLanguageRealm", {{"localeIdentifier", "en_GB"}}));
//       en.setLanguageName(tx, "English");
//       settings.recentlyLanguages().insert(tx, 0, en);
//   });   // any error inside rolls the whole transaction back and comes back here
//
// 3. Query (Query.h); results are live and can be read on any thread:
//
//   using platform::Key;
//   QList<QVLanguageRealm> web = store.objects("QVLanguageRealm")
//       .filter(Key("languageModes.translateWebSite") == true && Key("languageName").contains(text))
//       .sorted("languageName")
//       .toList<QVLanguageRealm>();
//
// 4. Observe on the main thread (Notifications.h); keep the token:
//
//   m_historyToken = store.objects("QVTranslationRealm").sorted("createdDate", false)
//       .observe([this](const platform::CollectionChange &change) {
//           if (change.isInitial()) reloadAll(); else apply(change.deletions, change.insertions,
//           change.modifications);
//       });
//   m_settingsToken = settings.observe([this](const platform::ObjectChange &change) { ... },
//                                      {"languageFrom.languageModes.translateWebSite"});
#include "platform/store/Notifications.h"
#include "platform/store/Object.h"
#include "platform/store/ObjectStore.h"
#include "platform/store/Query.h"
#include "platform/store/Schema.h"
#include "platform/store/StoreError.h"
#include "platform/store/Transaction.h"
