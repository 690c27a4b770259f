{
  "1": "en_GB",
  "2": "en_US",
  "3": "de_DE",
  "4": "fr_FR",
  "5": "es_ES",
  "6": "it_IT",
  "7": "pt_PT",
  "8": "nl_NL",
  "9": "pl_PL",
  "10": "ru_RU",
  "11": "uk_UA",
  "12": "tr_TR",
  "14": "ja_JP",
  "15": "zh_CN",
  "21": "ar_AE"
}
