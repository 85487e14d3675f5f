<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="ja">
<context>
    <name>TOrvMain</name>
    <message>
        <source>すべてのファイル (*.bmp;*.png)|*.bmp;*.png|ビットマップ (*.bmp)|*.bmp|PNG イメージファイル (*.png)|*.png</source>
        <translation>All files (*.bmp;*.png)|*.bmp;*.png|Bitmaps (*.bmp)|*.bmp|PNG image files (*.png)|*.png</translation>
    </message>
    <message>
        <source>素材を開く</source>
        <translation>Open Material</translation>
    </message>
    <message>
        <source>ファイルを開く</source>
        <translation>Open File</translation>
    </message>
    <message>
        <source>画像を保存する</source>
        <translation>Save Image</translation>
    </message>
    <message>
        <source>編集</source>
        <translation>Edit</translation>
    </message>
    <message>
        <source>新規</source>
        <translation>New</translation>
    </message>
    <message>
        <source>読込</source>
        <comment>edit image</comment>
        <translation>Load</translation>
    </message>
    <message>
        <source>保存</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>サイズ変更</source>
        <translation>Resize</translation>
    </message>
    <message>
        <source>素材</source>
        <translation>Material</translation>
    </message>
    <message>
        <source>読込</source>
        <comment>material</comment>
        <translation>Add</translation>
    </message>
    <message>
        <source>破棄</source>
        <translation>Discard</translation>
    </message>
    <message>
        <source>終了</source>
        <translation>Exit</translation>
    </message>
    <message>
        <source>このグラフィックを破棄していいですか？</source>
        <translation>Discard this material from the list?</translation>
    </message>
    <message>
        <source>表示</source>
        <translation>View</translation>
    </message>
    <message>
        <source>拡大</source>
        <translation>Zoom In</translation>
    </message>
    <message>
        <source>縮小</source>
        <translation>Zoom Out</translation>
    </message>
    <message>
        <source>等倍</source>
        <translation>Actual Size</translation>
    </message>
</context>
<context>
    <name>TPreferencesForm</name>
    <message>
        <source>設定</source>
        <translation>Preferences</translation>
    </message>
    <message>
        <source>言語</source>
        <translation>Language</translation>
    </message>
    <message>
        <source>システムに合わせる</source>
        <translation>Same as the system</translation>
    </message>
    <message>
        <source>言語の変更は次の起動から有効になります。</source>
        <translation>A new language takes effect at the next start.</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>キャンセル</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>TQtDialogs</name>
    <message>
        <source>警告</source>
        <translation>Warning</translation>
    </message>
    <message>
        <source>はい(&amp;Y)</source>
        <translation>&amp;Yes</translation>
    </message>
    <message>
        <source>いいえ(&amp;N)</source>
        <translation>&amp;No</translation>
    </message>
</context>
<context>
    <name>TSizeForm</name>
    <message>
        <source>サイズとか</source>
        <translation>Size</translation>
    </message>
    <message>
        <source>チップサイズ</source>
        <translation>Chip size</translation>
    </message>
    <message>
        <source>幅</source>
        <translation>Width</translation>
    </message>
    <message>
        <source>×&#x3000;高さ</source>
        <translation>× Height</translation>
    </message>
    <message>
        <source>32×32&#x3000;(Ruvola標準)</source>
        <translation>32×32 (Ruvola standard)</translation>
    </message>
    <message>
        <source>24×32&#x3000;(RPGツクール2000 イベント標準)</source>
        <translation>24×32 (RPG Maker 2000 events)</translation>
    </message>
    <message>
        <source>16×16&#x3000;(RPGツクール2000 マップ標準)</source>
        <translation>16×16 (RPG Maker 2000 maps)</translation>
    </message>
    <message>
        <source>画像サイズ</source>
        <translation>Image size in chips</translation>
    </message>
    <message>
        <source>16×16&#x3000;(Ruvola標準)</source>
        <translation>16×16 (Ruvola standard)</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>キャンセル</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>main</name>
    <message>
        <source>使い方: tilora [オプション]

タイル型ゲーム用のチップ画像を組み立てるエディタです。

  --help     この説明を表示します。
  --version  プログラム名とバージョンを表示します。
</source>
        <translation>Usage: tilora [OPTION]

Tilora composes tile sheets (chip sheets) for tile-based games.

  --help     Show this text.
  --version  Show the program name and version.
</translation>
    </message>
</context>
</TS>
