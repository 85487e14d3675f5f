<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="ja">
<context>
    <name>THistoryStack</name>
    <message>
        <source>スタンプ</source>
        <translation>Stamp</translation>
    </message>
    <message>
        <source>消去</source>
        <translation>Erase</translation>
    </message>
    <message>
        <source>移動</source>
        <translation>Move</translation>
    </message>
    <message>
        <source>複製</source>
        <translation>Duplicate</translation>
    </message>
    <message>
        <source>切り取り</source>
        <translation>Cut</translation>
    </message>
    <message>
        <source>貼り付け</source>
        <translation>Paste</translation>
    </message>
    <message>
        <source>新規作成</source>
        <translation>New</translation>
    </message>
    <message>
        <source>画像の読み込み</source>
        <translation>Load Image</translation>
    </message>
    <message>
        <source>チップサイズの変更</source>
        <translation>Chip Size Change</translation>
    </message>
    <message>
        <source>再構築</source>
        <translation>Rebuild</translation>
    </message>
</context>
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
    <message>
        <source>名前を付けて保存</source>
        <translation>Save As</translation>
    </message>
    <message>
        <source>そのまま</source>
        <translation>as is</translation>
    </message>
    <message>
        <source>左右反転</source>
        <translation>Flip Horizontal</translation>
    </message>
    <message>
        <source>上下反転</source>
        <translation>Flip Vertical</translation>
    </message>
    <message>
        <source>180°回転</source>
        <translation>rotated 180°</translation>
    </message>
    <message>
        <source>右に90°回転</source>
        <translation>rotated 90° right</translation>
    </message>
    <message>
        <source>左に90°回転</source>
        <translation>rotated 90° left</translation>
    </message>
    <message>
        <source>左右反転して左に90°回転</source>
        <translation>flipped, rotated 90° left</translation>
    </message>
    <message>
        <source>左右反転して右に90°回転</source>
        <translation>flipped, rotated 90° right</translation>
    </message>
    <message>
        <source>新規作成(&amp;N)...</source>
        <translation>&amp;New...</translation>
    </message>
    <message>
        <source>開く(&amp;O)...</source>
        <translation>&amp;Open...</translation>
    </message>
    <message>
        <source>上書き保存(&amp;S)</source>
        <translation>&amp;Save</translation>
    </message>
    <message>
        <source>名前を付けて保存(&amp;A)...</source>
        <translation>Save &amp;As...</translation>
    </message>
    <message>
        <source>素材を追加(&amp;M)...</source>
        <translation>Add &amp;Material...</translation>
    </message>
    <message>
        <source>終了(&amp;X)</source>
        <translation>E&amp;xit</translation>
    </message>
    <message>
        <source>元に戻す</source>
        <translation>Undo</translation>
    </message>
    <message>
        <source>やり直し</source>
        <translation>Redo</translation>
    </message>
    <message>
        <source>切り取り(&amp;T)</source>
        <translation>Cu&amp;t</translation>
    </message>
    <message>
        <source>コピー(&amp;C)</source>
        <translation>&amp;Copy</translation>
    </message>
    <message>
        <source>貼り付け(&amp;P)</source>
        <translation>&amp;Paste</translation>
    </message>
    <message>
        <source>削除(&amp;D)</source>
        <translation>&amp;Delete</translation>
    </message>
    <message>
        <source>すべて選択(&amp;A)</source>
        <translation>Select &amp;All</translation>
    </message>
    <message>
        <source>選択の解除(&amp;E)</source>
        <translation>D&amp;eselect</translation>
    </message>
    <message>
        <source>選択範囲をスタンプに使う(&amp;S)</source>
        <translation>Use Selection as &amp;Stamp</translation>
    </message>
    <message>
        <source>チップサイズの変更(&amp;Z)...</source>
        <translation>Chip Si&amp;ze...</translation>
    </message>
    <message>
        <source>スタンプ(&amp;S)</source>
        <translation>&amp;Stamp</translation>
    </message>
    <message>
        <source>消去(&amp;E)</source>
        <translation>&amp;Erase</translation>
    </message>
    <message>
        <source>選択(&amp;M)</source>
        <translation>Selec&amp;t</translation>
    </message>
    <message>
        <source>左右反転(&amp;H)</source>
        <translation>Flip &amp;Horizontal</translation>
    </message>
    <message>
        <source>上下反転(&amp;V)</source>
        <translation>Flip &amp;Vertical</translation>
    </message>
    <message>
        <source>90°回転(&amp;R)</source>
        <translation>&amp;Rotate 90°</translation>
    </message>
    <message>
        <source>反転・回転の解除(&amp;O)</source>
        <translation>Reset &amp;Orientation</translation>
    </message>
    <message>
        <source>設定(&amp;P)...</source>
        <translation>&amp;Preferences...</translation>
    </message>
    <message>
        <source>スタンプ</source>
        <translation>Stamp</translation>
    </message>
    <message>
        <source>消去</source>
        <translation>Erase</translation>
    </message>
    <message>
        <source>選択</source>
        <translation>Select</translation>
    </message>
    <message>
        <source>左右反転</source>
        <comment>tool bar</comment>
        <translation>Flip H</translation>
    </message>
    <message>
        <source>上下反転</source>
        <comment>tool bar</comment>
        <translation>Flip V</translation>
    </message>
    <message>
        <source>90°回転</source>
        <comment>tool bar</comment>
        <translation>Rotate</translation>
    </message>
    <message>
        <source>ファイル(&amp;F)</source>
        <translation>&amp;File</translation>
    </message>
    <message>
        <source>最近使ったファイル(&amp;R)</source>
        <translation>&amp;Recent Files</translation>
    </message>
    <message>
        <source>編集(&amp;E)</source>
        <translation>&amp;Edit</translation>
    </message>
    <message>
        <source>ツール(&amp;T)</source>
        <translation>&amp;Tools</translation>
    </message>
    <message>
        <source>ツールバー</source>
        <translation>Toolbar</translation>
    </message>
    <message>
        <source>カーソルの位置 (ピクセル) と、その下のチップの列、行、番号 (左上から読む順)</source>
        <translation>The pixel under the cursor, and the column, row and number (in reading order from the top left) of its chip</translation>
    </message>
    <message>
        <source>選択範囲の大きさ (チップ数、横×縦)</source>
        <translation>The size of the selection in chips (across × down)</translation>
    </message>
    <message>
        <source>表示倍率</source>
        <translation>Zoom</translation>
    </message>
    <message>
        <source>保存するときの色数とビット数</source>
        <translation>The colors and the bits per pixel of the next save</translation>
    </message>
    <message>
        <source>元に戻す: %1</source>
        <translation>Undo %1</translation>
    </message>
    <message>
        <source>やり直し: %1</source>
        <translation>Redo %1</translation>
    </message>
    <message>
        <source>向き: %1</source>
        <translation>Orientation: %1</translation>
    </message>
    <message>
        <source>無題</source>
        <translation>Untitled</translation>
    </message>
    <message>
        <source>選択 %1×%2</source>
        <translation>Selection %1×%2</translation>
    </message>
    <message>
        <source>%1, %2&#x3000;チップ %3, %4 #%5</source>
        <translation>%1, %2  chip %3, %4 #%5</translation>
    </message>
    <message>
        <source>%1, %2&#x3000;チップ %3, %4</source>
        <translation>%1, %2  chip %3, %4</translation>
    </message>
    <message>
        <source>「%1」への変更内容を保存しますか？</source>
        <translation>Save the changes to “%1”?</translation>
    </message>
    <message>
        <source>一覧を消去(&amp;C)</source>
        <translation>&amp;Clear List</translation>
    </message>
    <message>
        <source>ファイルが見つかりません: %1</source>
        <translation>File not found: %1</translation>
    </message>
    <message>
        <source>BMP または PNG ではないファイルは開けません: %1</source>
        <translation>Only BMP and PNG files can be opened: %1</translation>
    </message>
    <message>
        <source>Tilora プロジェクト (*.tilora)|*.tilora</source>
        <translation>Tilora projects (*.tilora)|*.tilora</translation>
    </message>
    <message>
        <source>プロジェクトを開く</source>
        <translation>Open Project</translation>
    </message>
    <message>
        <source>プロジェクトを保存</source>
        <translation>Save Project</translation>
    </message>
    <message>
        <source>、</source>
        <translation>, </translation>
    </message>
    <message>
        <source> ほか %1 個</source>
        <translation> and %1 more</translation>
    </message>
    <message>
        <source>プロジェクトを開く(&amp;J)...</source>
        <translation>Open Pro&amp;ject...</translation>
    </message>
    <message>
        <source>プロジェクトを上書き保存(&amp;K)</source>
        <translation>Save Projec&amp;t</translation>
    </message>
    <message>
        <source>プロジェクトに名前を付けて保存(&amp;L)...</source>
        <translation>Save &amp;Project As...</translation>
    </message>
    <message>
        <source>素材が変更されました: %1
シートを再構築しますか？</source>
        <translation>A material has changed: %1
Rebuild the sheet?</translation>
    </message>
    <message>
        <source>素材「%1」にセル %2 のチップがなくなりました。これらのセルは元のままです。</source>
        <translation>Material “%1” no longer holds the chips of cells %2. These cells keep their pixels.</translation>
    </message>
    <message>
        <source>素材「%1」を読み込めません (%2)。</source>
        <translation>Material “%1” cannot be read (%2).</translation>
    </message>
    <message>
        <source>素材「%1」を読み込めません (%2)。セル %3 は元のままです。</source>
        <translation>Material “%1” cannot be read (%2). Cells %3 keep their pixels.</translation>
    </message>
    <message>
        <source>素材「%1」が見つかりません。</source>
        <translation>Material “%1” is missing.</translation>
    </message>
    <message>
        <source>素材「%1」が見つかりません。セル %2 は元のままです。</source>
        <translation>Material “%1” is missing. Cells %2 keep their pixels.</translation>
    </message>
    <message>
        <source>シートを素材から組み立て直せない部分があります。

%1</source>
        <translation>Parts of the sheet cannot be rebuilt from its materials.

%1</translation>
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
    <message>
        <source>グリッドの色</source>
        <translation>Grid Color</translation>
    </message>
    <message>
        <source>自動に戻す</source>
        <translation>Back to Automatic</translation>
    </message>
    <message>
        <source>自動</source>
        <translation>Automatic</translation>
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
    <message>
        <source>保存する(&amp;S)</source>
        <translation>&amp;Save</translation>
    </message>
    <message>
        <source>保存しない(&amp;N)</source>
        <translation>Do&amp;n’t Save</translation>
    </message>
    <message>
        <source>キャンセル</source>
        <translation>Cancel</translation>
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
        <source>使い方: tilora [オプション] [ファイル]

タイル型ゲーム用のチップ画像を組み立てるエディタです。
ファイルを指定すると、チップサイズを尋ねてから編集画像として開きます。

  --help     この説明を表示します。
  --version  プログラム名とバージョンを表示します。
</source>
        <translation>Usage: tilora [OPTION] [FILE]

Tilora composes tile sheets (chip sheets) for tile-based games.
With a FILE it asks for the chip size and opens FILE as the edit image.

  --help     Show this text.
  --version  Show the program name and version.
</translation>
    </message>
</context>
</TS>
