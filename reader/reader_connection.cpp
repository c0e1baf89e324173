#include <span>

#include "reader/reader.h"

namespace tovani {

namespace {

// The texts of error values 1000 to 1097, in order.
const char* const kErrorTexts[ErrorMessageCount] = {
    "エラーは発生していません",  // 1000
    "未定義のエラーです",  // 1001
    "関数の引数が不正です",  // 1002
    "メモリの確保ができません",  // 1003
    "スレッドの生成に失敗しました",  // 1004
    "ライブラリが初期化されていません",  // 1005
    "ライブラリは既に初期化されています",  // 1006
    "不正なファイル名が指定されました",  // 1007
    "ファイルを見つけることができません",  // 1008
    "ファイルをオープンすることができません",  // 1009
    "ファイルがオープンされていません",  // 1010
    "ファイルは既にオープンされています",  // 1011
    "不正なディレクトリ名が指定されました",  // 1012
    "ディレクトリを見つけることができません",  // 1013
    "ディレクトリをオープンすることができません",  // 1014
    "ディレクトリがオープンされていません",  // 1015
    "ディレクトリは既にオープンされています",  // 1016
    "不正なポート名が指定されました",  // 1017
    "ポートを見つけることができません",  // 1018
    "ポートをオープンすることができません",  // 1019
    "ポートがオープンされていません",  // 1020
    "ポートは既にオープンされています",  // 1021
    "タイムアウトの値が不正です",  // 1022
    "ボーレートの値が不正です",  // 1023
    "リトライカウントの値が不正です",  // 1024
    "FeliCa リーダ／ライタコントロールライブラリを見つけることができません",  // 1025
    "FeliCa リーダ／ライタコントロールライブラリのロードに失敗しました",  // 1026
    "リーダ／ライタのオープンに失敗しました",  // 1027
    "リーダ／ライタを自動認識できません",  // 1028
    "リーダ／ライタがオープンされていません",  // 1029
    "リーダ／ライタは既にオープンされています",  // 1030
    "リーダ／ライタとの再接続に失敗しました",  // 1031
    "カードがかざされたときに送信するメッセージの登録に失敗しました",  // 1032
    "カードを見失なったときに送信するメッセージの登録に失敗しました",  // 1033
    "コールバックパラメータが設定されていません",  // 1034
    "コールバックを行うための連続ポーリングが開始されていません",  // 1035
    "ポーリングに失敗しました",  // 1036
    "カードのモードの取得に失敗しました",  // 1037
    "カードのエリア・サービスキーバージョンの取得に失敗しました",  // 1038
    "カードとの相互認証に失敗しました",  // 1039
    "カードからのデータの読み込みに失敗しました",  // 1040
    "カードへのデータの書き込みに失敗しました",  // 1041
    "カードからの鍵のないサービスデータの読み込みに失敗しました",  // 1042
    "カードへの鍵のないサービスデータの書き込みに失敗しました",  // 1043
    "コミュニケートスルーコマンドの発行に失敗しました",  // 1044
    "アクセスキーの生成に失敗しました",  // 1045
    "まだ一度もポーリングが行われていません",  // 1046
    "カードの情報の取得に失敗しました",  // 1047
    "カードのインデックスが不正なためカードの情報を取得できませんでした",  // 1048
    "ポーリングの時に取得したカード IDm と関数引数のカード IDm が一致しなかったため処理を中断しました",  // 1049
    "相互認証が行われていません",  // 1050
    "鍵のないサービスへの読み書きに相互認証が必要なサービスが指定されました",  // 1051
    "ブロックリストを自動生成することができないサービス (Cash Back and Decrement) が指定されました",  // 1052
    "FeliCa アクセスライブラリの API の呼び出しに失敗しました",  // 1053
    "鍵の変更に失敗しました",  // 1054
    "連続ポーリングはすでに起動しています",  // 1055
    "リーダライタが接続されたときに送信するメッセージ登録に失敗しました",  // 1056
    "リーダライタが抜かれたときに送信するメッセージ登録に失敗しました",  // 1057
    "プラグアンドプレイ監視は起動していません",  // 1058
    "プラグアンドプレイ監視はすでに起動しています",  // 1059
    "この OS では実装されていいない API です",  // 1060
    "カードのシステムコードリストの取得に失敗しました",  // 1061
    "カードのサービスコードリストの取得に失敗しました",  // 1062
    "アクセスキーへのキーの追加に失敗しました",  // 1063
    "オープンモードの設定に失敗しました",  // 1064
    "アクセス権獲得（ロック）に失敗しました",  // 1065
    "アクセス権解放（アンロック）に失敗しました",  // 1066
    "アクセス権解放待ちタイムアウト設定に失敗しました",  // 1067
    "アクセス権解放待ちタイムアウト取得に失敗しました",  // 1068
    "デバイス情報取得に失敗しました",  // 1069
    "共有プロセス数の取得に失敗しました",  // 1070
    "ポーリングタイムアウト設定に失敗しました",  // 1071
    "ポーリングタイムアウト取得に失敗しました",  // 1072
    "リーダ／ライタの設定変更に失敗しました",  // 1073
    "リーダ／ライタから最新のエラーコードが取得できませんでした",  // 1074
    "リーダ／ライタから属性情報が取得できませんでした",  // 1075
    "Communicate Thruコマンドの実行に失敗しました",  // 1076
    "RF Switch のON/OFFの設定に失敗しました",  // 1077
    "空きブロック数の取得に失敗しました",  // 1078
    "コンテナ発行情報の取得に失敗しました",  // 1079
    "認証連携の設定に失敗しました",  // 1080
    "FALPモードのため処理できません",  // 1081
    "FALPモードではありません",  // 1082
    "FALPライブラリでエラーが発生しました",  // 1083
    "FALPライブラリの初期化に失敗しました",  // 1084
    "FALPライブラリのロードに失敗しました",  // 1085
    "シーケンス番号の取得に失敗しました",  // 1086
    "現在のノードコード長では処理できません",  // 1087
    "FeliCaライブラリファイルが不正です",  // 1088
    "既にターゲット接続待ち要求が発行されています",  // 1089
    "ターゲット接続待ち要求を発行していません",  // 1090
    "FALPターゲット用コールバックパラメータが設定されていません",  // 1091
    "FALPターゲットモードのため処理できません",  // 1092
    "FALPターゲットモードではありません",  // 1093
    "FALPターゲットデータ転送中のため処理できません",  // 1094
    "レジスタのリードに失敗しました",  // 1095
    "",  // 1096: never filled
    "ソフトリセットに失敗しました",  // 1097
};

}  // namespace

void initErrorMessages(ReaderState& reader) {
    for (int i = 0; i < ErrorMessageCount; ++i) reader.ErrorMessages[i] = kErrorTexts[i];
}

std::optional<std::string> errorMessageText(const ReaderState& reader, int32_t errorType) {
    if (errorType < 1000 || errorType > 1000 + ErrorMessageCount - 1) return std::nullopt;
    return reader.ErrorMessages[static_cast<size_t>(errorType - 1000)];
}

bool openReader(ReaderState& reader) {
    felica::FelicaLibrary& lib = reader.Library;
    uint8_t unused = 0;
    if (!felica::initialize_library(lib)) return false;
    reader.LibraryInitialized = true;
    bool fetchAgain = true;
    if (felica::open_reader_writer_auto(lib)) {
        reader.ReaderWriterOpened = true;
        unused = 0;
        if (felica::reader_writer_is_alive(lib, unused)) {
            unused = 0;
            if (felica::reader_writer_is_open(lib, unused)) return true;
        }
        felica::get_last_error_types(lib, reader.LastErrorType, reader.LastErrorType2);
        const bool closed = felica::close_reader_writer(lib);
        reader.ReaderWriterOpened = false;
        // A failed close has its own error values, which then win.
        fetchAgain = !closed;
    }
    if (fetchAgain) felica::get_last_error_types(lib, reader.LastErrorType, reader.LastErrorType2);
    if (reader.LibraryInitialized) {
        felica::dispose_library(lib);
        reader.LibraryInitialized = false;
    }
    return false;
}

void closeReader(ReaderState& reader) {
    if (reader.ReaderWriterOpened) {
        felica::close_reader_writer(reader.Library);
        reader.ReaderWriterOpened = false;
    }
    if (reader.LibraryInitialized) {
        felica::dispose_library(reader.Library);
        reader.LibraryInitialized = false;
    }
}

const char* readStateName(ReadState state) {
    switch (state) {
    case ReadStateError: return "ReadStateError";
    case ReadStateRead: return "ReadStateRead";
    case ReadStateNoCard: return "ReadStateNoCard";
    case ReadStateSameCard: return "ReadStateSameCard";
    case ReadStateNotSupported: return "ReadStateNotSupported";
    }
    return "?";
}

}  // namespace tovani
