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
        <source>表示(&amp;V)</source>
        <translation>&amp;View</translation>
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
    <message>
        <source>新規作成 (透明)(&amp;T)...</source>
        <translation>New &amp;Transparent...</translation>
    </message>
    <message>
        <source>透明なシートを新しく作ります</source>
        <translation>Makes a new, fully transparent sheet</translation>
    </message>
    <message>
        <source>素材のパレット 0 番を透明にする(&amp;I)</source>
        <translation>Material Palette &amp;Index 0 Is Transparent</translation>
    </message>
    <message>
        <source>8 ビット以下の素材で、パレットの 0 番の色のピクセルを透明にします (RPG Maker 2000/2003 の素材)</source>
        <translation>Shows the pixels of palette index 0 of a material of 8 bits or fewer as transparent (RPG Maker 2000/2003 materials)</translation>
    </message>
    <message>
        <source>重複したチップに印を付ける(&amp;D)</source>
        <translation>Mark &amp;Duplicate Chips</translation>
    </message>
    <message>
        <source>反転・回転したチップも重複に数える(&amp;F)</source>
        <translation>Count &amp;Flipped and Rotated Copies as Duplicates</translation>
    </message>
    <message>
        <source>ほかのチップと同じ内容のチップの数 (空のチップは数えません)</source>
        <translation>Chips that copy another chip (empty chips are not counted)</translation>
    </message>
    <message>
        <source>重複 %1</source>
        <translation>Duplicates %1</translation>
    </message>
    <message>
        <source>保存しました。次の点に注意してください:</source>
        <translation>Saved. Please note:</translation>
    </message>
    <message>
        <source>%1色 → %2ビット</source>
        <translation>%1 colours → %2 bits</translation>
    </message>
    <message>
        <source> (%1色に統合)</source>
        <translation> (merged into %1)</translation>
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
    <message>
        <source>保存</source>
        <translation>Saving</translation>
    </message>
    <message>
        <source>保存形式:</source>
        <translation>Save as:</translation>
    </message>
    <message>
        <source>正確な色で保存 (似た色をまとめない)</source>
        <translation>Exact colors (do not merge similar colors)</translation>
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
    <name>TSaveOptionsPanel</name>
    <message>
        <source>色数に応じて 8・4・1 ビットに減らして保存します。透明なピクセルがあれば透明度を保ちます。</source>
        <translation>Reduces to 8, 4 or 1 bits by the number of colors; a sheet with transparent pixels keeps its transparency.</translation>
    </message>
    <message>
        <source>8 ビットのパレット画像に正確な色で保存し、透過色をパレットの 0 番に置きます (透過色のほかに 255 色まで)。チップセットは 480×256 ピクセルです。</source>
        <translation>Saves an 8-bit palette image with exact colors and the transparent key color at palette index 0 (up to 255 colors besides it). ChipSets are 480 x 256 pixels.</translation>
    </message>
    <message>
        <source>標準</source>
        <translation>Standard</translation>
    </message>
    <message>
        <source>RPG Maker 2000/2003</source>
        <translation>RPG Maker 2000/2003</translation>
    </message>
    <message>
        <source>保存形式:</source>
        <translation>Save as:</translation>
    </message>
    <message>
        <source>正確な色で保存 (似た色をまとめない)</source>
        <translation>Exact colors (do not merge similar colors)</translation>
    </message>
    <message>
        <source>256 色以下の画像を、色をまとめずにその色のまま 8 ビットまたは 4 ビットで保存します。</source>
        <translation>Saves an image of 256 colors or fewer at 8 or 4 bits with its own colors, merging none.</translation>
    </message>
    <message>
        <source>透過色:</source>
        <translation>Key color:</translation>
    </message>
    <message>
        <source>自動</source>
        <translation>Automatic</translation>
    </message>
    <message>
        <source>指定:</source>
        <translation>Chosen:</translation>
    </message>
    <message>
        <source>RPG Maker 2000/2003 形式でパレットの 0 番に置く色で、タイルセットには Tiled の透過色 (trans) として書きます。自動のときは透明なピクセルの色、透明なピクセルがなければ左上のピクセルの色です。標準形式で自動のときは、タイルセットに透過色を書きません。</source>
        <translation>The color the RPG Maker 2000/2003 format puts at palette index 0, written to tilesets as Tiled&apos;s transparent color (trans). Automatic takes the color of the transparent pixels, or of the top-left pixel when there are none. With the Standard format, Automatic writes no transparent color to tilesets.</translation>
    </message>
    <message>
        <source>書き出し</source>
        <translation>Export</translation>
    </message>
    <message>
        <source>Tiled (.tsx)</source>
        <translation>Tiled (.tsx)</translation>
    </message>
    <message>
        <source>Tiled JSON (.tsj)</source>
        <translation>Tiled JSON (.tsj)</translation>
    </message>
    <message>
        <source>Godot (.tres)</source>
        <translation>Godot (.tres)</translation>
    </message>
    <message>
        <source> px</source>
        <translation> px</translation>
    </message>
    <message>
        <source>チップとチップの間に空けるピクセル数</source>
        <translation>Pixels between neighboring chips</translation>
    </message>
    <message>
        <source>チップ全体のまわりに空けるピクセル数</source>
        <translation>Pixels around all chips</translation>
    </message>
    <message>
        <source>各チップの端のピクセルを外側へ繰り返す幅 (テクスチャのにじみを防ぎます)</source>
        <translation>How far each chip&apos;s edge pixels are repeated outward (against texture bleeding)</translation>
    </message>
    <message>
        <source>重複したチップを Godot のタイルから除く</source>
        <translation>Leave duplicate chips out of the Godot tiles</translation>
    </message>
    <message>
        <source>空のチップはいつも除きます。</source>
        <translation>Empty chips are always left out.</translation>
    </message>
    <message>
        <source>反転・回転したコピーも重複とみなす</source>
        <translation>Flipped and rotated copies are duplicates too</translation>
    </message>
    <message>
        <source>タイルセットは画像と同じフォルダーに同じ名前で保存します。間隔・余白・押し出しを付けた画像は「名前.export.png」のように別のファイルに保存し、タイルセットはその画像を指します。</source>
        <translation>Tilesets are saved beside the image under its name. With spacing, margin or extrusion, the laid-out image is saved to a file of its own (such as &quot;name.export.png&quot;), which the tilesets name.</translation>
    </message>
    <message>
        <source>間隔:</source>
        <translation>Spacing:</translation>
    </message>
    <message>
        <source>余白:</source>
        <translation>Margin:</translation>
    </message>
    <message>
        <source>押し出し:</source>
        <translation>Extrusion:</translation>
    </message>
    <message>
        <source>透過色</source>
        <translation>Key Color</translation>
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
