{
 "result": [
  {
   "full_code": "en_GB",
   "englishName": "English (UK)",
   "flagPath": "flags/gb.png",
   "code_alpha_1": "en",
   "code_alpha_3": "eng",
   "testWordForSyntezis": "Hello",
   "modes": [
    {
     "name": "translation",
     "value": true
    },
    {
     "name": "speech synthesis",
     "value": true
    },
    {
     "name": "image recognition",
     "value": true
    },
    {
     "name": "image object recognition",
     "value": true
    },
    {
     "name": "parse site",
     "value": true
    },
    {
     "name": "parse voice",
     "value": true
    },
    {
     "name": "produce voice",
     "value": true
    },
    {
     "name": "offline translate",
     "value": true
    },
    {
     "name": "phrase book",
     "value": true
    },
    {
     "name": "word net dictionary",
     "value": true
    },
    {
     "name": "translate web site",
     "value": true
    },
    {
     "name": "translation document",
     "value": true
    }
   ]
  },
  {
   "full_code": "en_US",
   "englishName": "English (US)",
   "flagPath": "flags/us.png",
   "code_alpha_1": "en",
   "code_alpha_3": "eng",
   "testWordForSyntezis": "Hello",
   "modes": [
    {
     "name": "translation",
     "value": true
    },
    {
     "name": "speech synthesis",
     "value": true
    },
    {
     "name": "image recognition",
     "value": true
    },
    {
     "name": "image object recognition",
     "value": false
    },
    {
     "name": "parse site",
     "value": true
    },
    {
     "name": "parse voice",
     "value": true
    },
    {
     "name": "produce voice",
     "value": true
    },
    {
     "name": "offline translate",
     "value": true
    },
    {
     "name": "phrase book",
     "value": true
    },
    {
     "name": "word net dictionary",
     "value": false
    },
    {
     "name": "translate web site",
     "value": true
    },
    {
     "name": "translation document",
     "value": true
    }
   ]
  },
  {
   "full_code": "de_DE",
   "englishName": "German",
   "flagPath": "flags/de.png",
   "code_alpha_1": "de",
   "code_alpha_3": "deu",
   "testWordForSyntezis": "Hallo",
   "modes": [
    {
     "name": "translation",
     "value": true
    },
    {
     "name": "speech synthesis",
     "value": true
    },
    {
     "name": "image recognition",
     "value": true
    },
    {
     "name": "image object recognition",
     "value": false
    },
    {
     "name": "parse site",
     "value": true
    },
    {
     "name": "parse voice",
     "value": true
    },
    {
     "name": "produce voice",
     "value": true
    },
    {
     "name": "offline translate",
     "value": true
    },
    {
     "name": "phrase book",
     "value": true
    },
    {
     "name": "word net dictionary",
     "value": false
    },
    {
     "name": "translate web site",
     "value": true
    },
    {
     "name": "translation document",
     "value": true
    }
   ]
  },
  {
   "full_code": "fr_FR",
   "englishName": "French",
   "flagPath": "flags/fr.png",
   "code_alpha_1": "fr",
   "code_alpha_3": "fra",
   "testWordForSyntezis": "Bonjour",
   "modes": [
    {
     "name": "translation",
     "value": true
    },
    {
     "name": "speech synthesis",
     "value": true
    },
    {
     "name": "image recognition",
     "value": true
    },
    {
     "name": "image object recognition",
     "value": false
    },
    {
     "name": "parse site",
     "value": true
    },
    {
     "name": "parse voice",
     "value": true
    },
    {
     "name": "produce voice",
     "value": true
    },
    {
     "name": "offline translate",
     "value": true
    },
    {
     "name": "phrase book",
     "value": true
    },
    {
     "name": "word net dictionary",
     "value": false
    },
    {
     "name": "translate web site",
     "value": true
    },
    {
     "name": "translation document",
     "value": true
    }
   ]
  },
  {
   "full_code": "es_ES",
   "englishName": "Spanish",
   "flagPath": "flags/es.png",
   "code_alpha_1": "es",
   "code_alpha_3": "spa",
   "testWordForSyntezis": "Hola",
   "modes": [
    {
     "name": "translation",
     "value": true
    },
    {
     "name": "speech synthesis",
     "value": true
    },
    {
     "name": "image recognition",
     "value": true
    },
    {
     "name": "image object recognition",
     "value": false
    },
    {
     "name": "parse site",
     "value": true
    },
    {
     "name": "parse voice",
     "value": true
    },
    {
     "name": "produce voice",
     "value": true
    },
    {
     "name": "offline translate",
     "value": true
    },
    {
     "name": "phrase book",
     "value": true
    },
    {
     "name": "word net dictionary",
     "value": false
    },
    {
     "name": "translate web site",
     "value": true
    },
    {
     "name": "translation document",
     "value": true
    }
   ]
  },
  {
   "full_code": "it_IT",
   "englishName": "Italian",
   "flagPath": "flags/it.png",
   "code_alpha_1": "it",
   "code_alpha_3": "ita",
   "testWordForSyntezis": "Ciao",
   "modes": [
    {
     "name": "translation",
     "value": true
    },
    {
     "name": "speech synthesis",
     "value": true
    },
    {
     "name": "image recognition",
     "value": true
    },
    {
     "name": "image object recognition",
     "value": false
    },
    {
     "name": "parse site",
     "value": true
    },
    {
     "name": "parse voice",
     "value": true
    },
    {
     "name": "produce voice",
     "value": true
    },
    {
     "name": "offline translate",
     "value": true
    },
    {
     "name": "phrase book",
     "value": true
    },
    {
     "name": "word net dictionary",
     "value": false
    },
    {
     "name": "translate web site",
     "value": true
    },
    {
     "name": "translation document",
     "value": true
    }
   ]
  },
  {
   "full_code": "pt_PT",
   "englishName": "Portuguese",
   "flagPath": "flags/pt.png",
   "code_alpha_1": "pt",
   "code_alpha_3": "por",
   "testWordForSyntezis": "Olá",
   "modes": [
    {
     "name": "translation",
     "value": true
    },
    {
     "name": "speech synthesis",
     "value": true
    },
    {
     "name": "image recognition",
     "value": true
    },
    {
     "name": "image object recognition",
     "value": false
    },
    {
     "name": "parse site",
     "value": true
    },
    {
     "name": "parse voice",
     "value": false
    },
    {
     "name": "produce voice",
     "value": true
    },
    {
     "name": "offline translate",
     "value": false
    },
    {
     "name": "phrase book",
     "value": true
    },
    {
     "name": "word net dictionary",
     "value": false
    },
    {
     "name": "translate web site",
     "value": true
    },
    {
     "name": "translation document",
     "value": true
    }
   ]
  },
  {
   "full_code": "nl_NL",
   "englishName": "Dutch",
   "flagPath": "flags/nl.png",
   "code_alpha_1": "nl",
   "code_alpha_3": "nld",
   "testWordForSyntezis": "Hallo",
   "modes": [
    {
     "name": "translation",
     "value": true
    },
    {
     "name": "speech synthesis",
     "value": true
    },
    {
     "name": "image recognition",
     "value": true
    },
    {
     "name": "image object recognition",
     "value": false
    },
    {
     "name": "parse site",
     "value": true
    },
    {
     "name": "parse voice",
     "value": false
    },
    {
     "name": "produce voice",
     "value": true
    },
    {
     "name": "offline translate",
     "value": false
    },
    {
     "name": "phrase book",
     "value": true
    },
    {
     "name": "word net dictionary",
     "value": false
    },
    {
     "name": "translate web site",
     "value": true
    },
    {
     "name": "translation document",
     "value": true
    }
   ]
  },
  {
   "full_code": "pl_PL",
   "englishName": "Polish",
   "flagPath": "flags/pl.png",
   "code_alpha_1": "pl",
   "code_alpha_3": "pol",
   "testWordForSyntezis": "Cześć",
   "modes": [
    {
     "name": "translation",
     "value": true
    },
    {
     "name": "speech synthesis",
     "value": true
    },
    {
     "name": "image recognition",
     "value": true
    },
    {
     "name": "image object recognition",
     "value": false
    },
    {
     "name": "parse site",
     "value": true
    },
    {
     "name": "parse voice",
     "value": false
    },
    {
     "name": "produce voice",
     "value": true
    },
    {
     "name": "offline translate",
     "value": false
    },
    {
     "name": "phrase book",
     "value": true
    },
    {
     "name": "word net dictionary",
     "value": false
    },
    {
     "name": "translate web site",
     "value": true
    },
    {
     "name": "translation document",
     "value": true
    }
   ]
  },
  {
   "full_code": "ru_RU",
   "englishName": "Russian",
   "flagPath": "flags/ru.png",
   "code_alpha_1": "ru",
   "code_alpha_3": "rus",
   "testWordForSyntezis": "Привет",
   "modes": [
    {
     "name": "translation",
     "value": true
    },
    {
     "name": "speech synthesis",
     "value": true
    },
    {
     "name": "image recognition",
     "value": true
    },
    {
     "name": "image object recognition",
     "value": false
    },
    {
     "name": "parse site",
     "value": true
    },
    {
     "name": "parse voice",
     "value": true
    },
    {
     "name": "produce voice",
     "value": true
    },
    {
     "name": "offline translate",
     "value": true
    },
    {
     "name": "phrase book",
     "value": true
    },
    {
     "name": "word net dictionary",
     "value": false
    },
    {
     "name": "translate web site",
     "value": true
    },
    {
     "name": "translation document",
     "value": true
    }
   ]
  },
  {
   "full_code": "uk_UA",
   "englishName": "Ukrainian",
   "flagPath": "flags/ua.png",
   "code_alpha_1": "uk",
   "code_alpha_3": "ukr",
   "testWordForSyntezis": "Привіт",
   "modes": [
    {
     "name": "translation",
     "value": true
    },
    {
     "name": "speech synthesis",
     "value": true
    },
    {
     "name": "image recognition",
     "value": true
    },
    {
     "name": "image object recognition",
     "value": false
    },
    {
     "name": "parse site",
     "value": true
    },
    {
     "name": "parse voice",
     "value": false
    },
    {
     "name": "produce voice",
     "value": true
    },
    {
     "name": "offline translate",
     "value": false
    },
    {
     "name": "phrase book",
     "value": true
    },
    {
     "name": "word net dictionary",
     "value": false
    },
    {
     "name": "translate web site",
     "value": true
    },
    {
     "name": "translation document",
     "value": true
    }
   ]
  },
  {
   "full_code": "tr_TR",
   "englishName": "Turkish",
   "flagPath": "flags/tr.png",
   "code_alpha_1": "tr",
   "code_alpha_3": "tur",
   "testWordForSyntezis": "Merhaba",
   "modes": [
    {
     "name": "translation",
     "value": true
    },
    {
     "name": "speech synthesis",
     "value": true
    },
    {
     "name": "image recognition",
     "value": true
    },
    {
     "name": "image object recognition",
     "value": false
    },
    {
     "name": "parse site",
     "value": true
    },
    {
     "name": "parse voice",
     "value": false
    },
    {
     "name": "produce voice",
     "value": true
    },
    {
     "name": "offline translate",
     "value": false
    },
    {
     "name": "phrase book",
     "value": true
    },
    {
     "name": "word net dictionary",
     "value": false
    },
    {
     "name": "translate web site",
     "value": true
    },
    {
     "name": "translation document",
     "value": true
    }
   ]
  },
  {
   "full_code": "ja_JP",
   "englishName": "Japanese",
   "flagPath": "flags/jp.png",
   "code_alpha_1": "ja",
   "code_alpha_3": "jpn",
   "testWordForSyntezis": "こんにちは",
   "modes": [
    {
     "name": "translation",
     "value": true
    },
    {
     "name": "speech synthesis",
     "value": true
    },
    {
     "name": "image recognition",
     "value": true
    },
    {
     "name": "image object recognition",
     "value": false
    },
    {
     "name": "parse site",
     "value": true
    },
    {
     "name": "parse voice",
     "value": false
    },
    {
     "name": "produce voice",
     "value": true
    },
    {
     "name": "offline translate",
     "value": false
    },
    {
     "name": "phrase book",
     "value": true
    },
    {
     "name": "word net dictionary",
     "value": false
    },
    {
     "name": "translate web site",
     "value": true
    },
    {
     "name": "translation document",
     "value": true
    }
   ]
  },
  {
   "full_code": "zh_CN",
   "englishName": "Chinese (Simplified)",
   "flagPath": "flags/cn.png",
   "code_alpha_1": "zh",
   "code_alpha_3": "chi_sim",
   "testWordForSyntezis": "你好",
   "modes": [
    {
     "name": "translation",
     "value": true
    },
    {
     "name": "speech synthesis",
     "value": true
    },
    {
     "name": "image recognition",
     "value": true
    },
    {
     "name": "image object recognition",
     "value": false
    },
    {
     "name": "parse site",
     "value": true
    },
    {
     "name": "parse voice",
     "value": false
    },
    {
     "name": "produce voice",
     "value": true
    },
    {
     "name": "offline translate",
     "value": false
    },
    {
     "name": "phrase book",
     "value": true
    },
    {
     "name": "word net dictionary",
     "value": false
    },
    {
     "name": "translate web site",
     "value": true
    },
    {
     "name": "translation document",
     "value": true
    }
   ]
  },
  {
   "full_code": "ar_AE",
   "englishName": "Arabic",
   "flagPath": "flags/ae.png",
   "code_alpha_1": "ar",
   "code_alpha_3": "ara",
   "testWordForSyntezis": "مرحبا",
   "modes": [
    {
     "name": "translation",
     "value": true
    },
    {
     "name": "speech synthesis",
     "value": true
    },
    {
     "name": "image recognition",
     "value": true
    },
    {
     "name": "image object recognition",
     "value": false
    },
    {
     "name": "parse site",
     "value": true
    },
    {
     "name": "parse voice",
     "value": false
    },
    {
     "name": "produce voice",
     "value": true
    },
    {
     "name": "offline translate",
     "value": false
    },
    {
     "name": "phrase book",
     "value": true
    },
    {
     "name": "word net dictionary",
     "value": false
    },
    {
     "name": "translate web site",
     "value": true
    },
    {
     "name": "translation document",
     "value": true
    }
   ]
  }
 ]
}
