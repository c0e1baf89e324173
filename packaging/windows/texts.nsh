; The installer's own texts; MUI2 brings the rest in both languages.
LangString Needs64Bit ${LANG_ENGLISH} "${PRODUCT} needs 64-bit Windows."
LangString Needs64Bit ${LANG_JAPANESE} "${PRODUCT} には 64 ビット版の Windows が必要です。"

LangString FileInUse ${LANG_ENGLISH} "$0 cannot be removed. Close ${PRODUCT} and its tools, then choose Retry."
LangString FileInUse ${LANG_JAPANESE} "$0 を削除できません。${PRODUCT} とそのツールを終了してから「再試行」を選んでください。"

LangString HistoryKept ${LANG_ENGLISH} "${PRODUCT} has been removed. Your card history has been kept in:$\r$\n$\r$\n${DATA_DIR}$\r$\n$\r$\nDelete that folder yourself if you no longer need it."
LangString HistoryKept ${LANG_JAPANESE} "${PRODUCT} を削除しました。カードの履歴は次のフォルダーに残してあります。$\r$\n$\r$\n${DATA_DIR}$\r$\n$\r$\n不要な場合は、このフォルダーをご自身で削除してください。"
