<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ja_JP">
<context>
    <name>NbxStrings</name>
    <message>
        <source>Please close other application windows before switching to node configuration.</source>
        <translation>ノードの設定に切り替える前に、ほかのアプリケーション ウィンドウを閉じてください。</translation>
    </message>
    <message>
        <source>Could not retrieve the node name!
Please double check your node configuration and Internet connection.</source>
        <translation>ノード名を取得できませんでした。
ノードの設定とインターネット接続をもう一度確認してください。</translation>
    </message>
    <message>
        <source>Connection Failure. Please check your Internet connection.</source>
        <translation>接続に失敗しました。インターネット接続を確認してください。</translation>
    </message>
    <message>
        <source>Authentication Failure, Please check your Nimbex node configuration.</source>
        <translation>認証に失敗しました。Nimbex ノードの設定を確認してください。</translation>
    </message>
    <message>
        <source>Specified folder does not exist!</source>
        <translation>指定されたフォルダーは存在しません。</translation>
    </message>
    <message>
        <source>Clould not connect to Nimbex! The node is off-line.</source>
        <translation>Nimbex に接続できませんでした。ノードはオフラインです。</translation>
    </message>
    <message>
        <source>Error: %d</source>
        <translation>エラー: %d</translation>
    </message>
    <message>
        <source>Windows Sockets initialization failed!</source>
        <translation>Windows ソケットの初期化に失敗しました。</translation>
    </message>
    <message>
        <source>OLE Liblary support initialization failed!</source>
        <translation>OLE ライブラリのサポートを初期化できませんでした。</translation>
    </message>
    <message>
        <source>Please install MSXML 6.0 or later before running NimbexShell.</source>
        <translation>NimbexShell を実行する前に、MSXML 6.0 以降をインストールしてください。</translation>
    </message>
    <message>
        <source>Please wait for transfer operation to finish before continuing.</source>
        <translation>続行する前に、転送処理が終わるまでお待ちください。</translation>
    </message>
    <message>
        <source>Specified node was not found!</source>
        <translation>指定されたノードが見つかりませんでした。</translation>
    </message>
    <message>
        <source>Would you like to delete selected configurations?</source>
        <translation>選択した設定を削除しますか?</translation>
    </message>
    <message>
        <source>Would you like to delete selected files?</source>
        <translation>選択したファイルを削除しますか?</translation>
    </message>
    <message>
        <source>Unknown command-line parameter!</source>
        <translation>不明なコマンドライン パラメーターです。</translation>
    </message>
    <message>
        <source>Select a folder where to create the shortcut.</source>
        <translation>ショートカットを作成するフォルダーを選択してください。</translation>
    </message>
    <message>
        <source>Could not access the shared folder!
Please double check your shared folder configuration and Internet connection.</source>
        <translation>共有フォルダーにアクセスできませんでした。
共有フォルダーの設定とインターネット接続をもう一度確認してください。</translation>
    </message>
    <message>
        <source>Would you like to overwrite files?</source>
        <translation>ファイルを上書きしますか?</translation>
    </message>
    <message>
        <source>New version of NimbexShell is available.
Would you like to update?</source>
        <translation>NimbexShell の新しいバージョンがあります。
更新しますか?</translation>
    </message>
    <message>
        <source>Failed to launch NimbexShell Installer!</source>
        <translation>NimbexShell インストーラーを起動できませんでした。</translation>
    </message>
    <message>
        <source>NimbexShell version is up to date.</source>
        <translation>NimbexShell は最新バージョンです。</translation>
    </message>
    <message>
        <source>Could not connect to Nimbex! Operation timed out.</source>
        <translation>Nimbex に接続できませんでした。操作がタイムアウトしました。</translation>
    </message>
    <message>
        <source>Could not retrieve nodes!
Please double check your E-mail/Password and Internet connection.</source>
        <translation>ノードを取得できませんでした。
メール アドレスとパスワード、インターネット接続をもう一度確認してください。</translation>
    </message>
    <message>
        <source>The contents of file &quot;%s&quot; has been modified.
Would you like to upload the modified file to Nimbex?</source>
        <translation>ファイル「%s」の内容が変更されました。
変更されたファイルを Nimbex にアップロードしますか?</translation>
    </message>
    <message>
        <source>Downloading...</source>
        <translation>ダウンロードしています...</translation>
    </message>
    <message>
        <source>Uploading...</source>
        <translation>アップロードしています...</translation>
    </message>
    <message>
        <source>Copying...</source>
        <translation>コピーしています...</translation>
    </message>
    <message>
        <source>Moving...</source>
        <translation>移動しています...</translation>
    </message>
    <message>
        <source>Preparing...</source>
        <translation>準備しています...</translation>
    </message>
    <message>
        <source>1 object</source>
        <translation>1 個のオブジェクト</translation>
    </message>
    <message>
        <source>%d objects</source>
        <translation>%d 個のオブジェクト</translation>
    </message>
    <message>
        <source>Status:%s Device:%s Node Name:%s User Name:%s</source>
        <translation>状態: %s  デバイス: %s  ノード名: %s  ユーザー名: %s</translation>
    </message>
    <message>
        <source>%d objects selected</source>
        <translation>%d 個のオブジェクトを選択</translation>
    </message>
    <message>
        <source>1 object selected</source>
        <translation>1 個のオブジェクトを選択</translation>
    </message>
    <message>
        <source>Type:%s Date Created:%s Size:%s</source>
        <translation>種類: %s  作成日時: %s  サイズ: %s</translation>
    </message>
    <message>
        <source>%d KB</source>
        <translation>%d KB</translation>
    </message>
    <message>
        <source>%.2f MB</source>
        <translation>%.2f MB</translation>
    </message>
    <message>
        <source>%.2f GB</source>
        <translation>%.2f GB</translation>
    </message>
    <message>
        <source>%.2f TB</source>
        <translation>%.2f TB</translation>
    </message>
    <message>
        <source>%d B</source>
        <translation>%d B</translation>
    </message>
    <message>
        <source>Add Node</source>
        <translation>ノードの追加</translation>
    </message>
    <message>
        <source>Add new Nimbex node</source>
        <translation>新しい Nimbex ノードを追加します</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>名前</translation>
    </message>
    <message>
        <source>Device</source>
        <translation>デバイス</translation>
    </message>
    <message>
        <source>Node Name</source>
        <translation>ノード名</translation>
    </message>
    <message>
        <source>User Name</source>
        <translation>ユーザー名</translation>
    </message>
    <message>
        <source>Add Shared Folder</source>
        <translation>共有フォルダーの追加</translation>
    </message>
    <message>
        <source>Add new Shared Folder</source>
        <translation>新しい共有フォルダーを追加します</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>状態</translation>
    </message>
    <message>
        <source>Online</source>
        <translation>オンライン</translation>
    </message>
    <message>
        <source>Offline</source>
        <translation>オフライン</translation>
    </message>
    <message>
        <source>Unknown</source>
        <translation>不明</translation>
    </message>
    <message>
        <source>Configuration</source>
        <translation>設定</translation>
    </message>
    <message>
        <source>Cloud</source>
        <translation>クラウド</translation>
    </message>
    <message>
        <source>Devices</source>
        <translation>デバイス</translation>
    </message>
    <message>
        <source>..</source>
        <translation>..</translation>
    </message>
    <message>
        <source>File Folder</source>
        <translation>ファイル フォルダー</translation>
    </message>
    <message>
        <source>File</source>
        <translation>ファイル</translation>
    </message>
    <message>
        <source>%s File</source>
        <translation>%s ファイル</translation>
    </message>
    <message>
        <source>Size</source>
        <translation>サイズ</translation>
    </message>
    <message>
        <source>Type</source>
        <translation>種類</translation>
    </message>
    <message>
        <source>Date Created</source>
        <translation>作成日時</translation>
    </message>
    <message>
        <source>New Folder</source>
        <translation>新しいフォルダー</translation>
    </message>
    <message>
        <source>New Folder (%d)</source>
        <translation>新しいフォルダー (%d)</translation>
    </message>
    <message>
        <source>File Name</source>
        <translation>ファイル名</translation>
    </message>
    <message>
        <source>State</source>
        <translation>状態</translation>
    </message>
    <message>
        <source>Modified</source>
        <translation>変更</translation>
    </message>
    <message>
        <source>Remote Path</source>
        <translation>リモート パス</translation>
    </message>
    <message>
        <source>Opened</source>
        <translation>開いています</translation>
    </message>
    <message>
        <source>Closed</source>
        <translation>閉じています</translation>
    </message>
    <message>
        <source>Yes</source>
        <translation>はい</translation>
    </message>
    <message>
        <source>No</source>
        <translation>いいえ</translation>
    </message>
    <message>
        <source>Add Node Configuration</source>
        <translation>ノード設定の追加</translation>
    </message>
    <message>
        <source>Edit Node Configuration</source>
        <translation>ノード設定の編集</translation>
    </message>
    <message>
        <source>New Node</source>
        <translation>新しいノード</translation>
    </message>
    <message>
        <source>Add Shared Folder Configuration</source>
        <translation>共有フォルダー設定の追加</translation>
    </message>
    <message>
        <source>Edit Shared Folder Configuration</source>
        <translation>共有フォルダー設定の編集</translation>
    </message>
    <message>
        <source>New Shared Folder</source>
        <translation>新しい共有フォルダー</translation>
    </message>
    <message>
        <source>Downloading lastest version of NimbexShell...</source>
        <translation>NimbexShell の最新バージョンをダウンロードしています...</translation>
    </message>
    <message>
        <source>Checking for Updates...</source>
        <translation>更新を確認しています...</translation>
    </message>
    <message>
        <source>NimbexShell</source>
        <translation>NimbexShell</translation>
    </message>
    <message>
        <source>NimbexShell - %s:%s</source>
        <translation>NimbexShell - %s:%s</translation>
    </message>
    <message>
        <source>NimbexShell - @Disk:%s</source>
        <translation>NimbexShell - @Disk:%s</translation>
    </message>
    <message>
        <source>NimbexShell - Opened Files List</source>
        <translation>NimbexShell - 開いているファイルの一覧</translation>
    </message>
    <message>
        <source>Unknown</source>
        <comment>device kind</comment>
        <translation>Unknown</translation>
    </message>
    <message>
        <source>Handset</source>
        <comment>device kind</comment>
        <translation>Handset</translation>
    </message>
    <message>
        <source>LegacyHandset</source>
        <comment>device kind</comment>
        <translation>LegacyHandset</translation>
    </message>
    <message>
        <source>Smartphone</source>
        <comment>device kind</comment>
        <translation>Smartphone</translation>
    </message>
    <message>
        <source>Appliance</source>
        <comment>device kind</comment>
        <translation>Appliance</translation>
    </message>
    <message>
        <source>VirtualServer</source>
        <comment>device kind</comment>
        <translation>VirtualServer</translation>
    </message>
    <message>
        <source>Workstation</source>
        <comment>device kind</comment>
        <translation>Workstation</translation>
    </message>
    <message>
        <source>Tablet</source>
        <comment>device kind</comment>
        <translation>Tablet</translation>
    </message>
    <message>
        <source>PictureFrame</source>
        <comment>device kind</comment>
        <translation>PictureFrame</translation>
    </message>
    <message>
        <source>Disk</source>
        <comment>device kind</comment>
        <translation>Disk</translation>
    </message>
    <message>
        <source>Location:</source>
        <translation>場所:</translation>
    </message>
    <message>
        <source>Node Configuration</source>
        <translation>ノードの設定</translation>
    </message>
    <message>
        <source>Node Name:%s
Folder Name:%s
Device:%s
User Name:%s</source>
        <translation>ノード名: %s
フォルダー名: %s
デバイス: %s
ユーザー名: %s</translation>
    </message>
</context>
<context>
    <name>NbxUi</name>
    <message>
        <source>&amp;File</source>
        <translation>ファイル(&amp;F)</translation>
    </message>
    <message>
        <source>&amp;Edit</source>
        <translation>編集(&amp;E)</translation>
    </message>
    <message>
        <source>&amp;View</source>
        <translation>表示(&amp;V)</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>ヘルプ(&amp;H)</translation>
    </message>
    <message>
        <source>New Window (&amp;W)</source>
        <translation>新しいウィンドウ(&amp;W)</translation>
    </message>
    <message>
        <source>Exit Application (&amp;X)</source>
        <translation>アプリケーションの終了(&amp;X)</translation>
    </message>
    <message>
        <source>Opened Files List (&amp;O)</source>
        <translation>開いているファイルの一覧(&amp;O)</translation>
    </message>
    <message>
        <source>Check for Updates (&amp;C)</source>
        <translation>更新の確認(&amp;C)</translation>
    </message>
    <message>
        <source>Node Configuration</source>
        <translation>ノードの設定</translation>
    </message>
    <message>
        <source>About NimbexShell...</source>
        <translation>NimbexShell について...</translation>
    </message>
    <message>
        <source>&amp;Open</source>
        <translation>開く(&amp;O)</translation>
    </message>
    <message>
        <source>New &amp;Folder</source>
        <translation>新しいフォルダー(&amp;F)</translation>
    </message>
    <message>
        <source>Create &amp;Shortcut</source>
        <translation>ショートカットの作成(&amp;S)</translation>
    </message>
    <message>
        <source>On the &amp;Desktop</source>
        <translation>デスクトップに(&amp;D)</translation>
    </message>
    <message>
        <source>In &amp;Documents</source>
        <translation>ドキュメントに(&amp;D)</translation>
    </message>
    <message>
        <source>In Another &amp;Folder...</source>
        <translation>ほかのフォルダーに(&amp;F)...</translation>
    </message>
    <message>
        <source>Copy &amp;URL</source>
        <translation>URL のコピー(&amp;U)</translation>
    </message>
    <message>
        <source>Rena&amp;me</source>
        <translation>名前の変更(&amp;M)</translation>
    </message>
    <message>
        <source>&amp;Edit Configuration...</source>
        <translation>設定の編集(&amp;E)...</translation>
    </message>
    <message>
        <source>&amp;Delete</source>
        <translation>削除(&amp;D)</translation>
    </message>
    <message>
        <source>Cu&amp;t</source>
        <translation>切り取り(&amp;T)</translation>
    </message>
    <message>
        <source>&amp;Copy</source>
        <translation>コピー(&amp;C)</translation>
    </message>
    <message>
        <source>&amp;Paste</source>
        <translation>貼り付け(&amp;P)</translation>
    </message>
    <message>
        <source>&amp;Undo</source>
        <translation>元に戻す(&amp;U)</translation>
    </message>
    <message>
        <source>Select &amp;All</source>
        <translation>すべて選択(&amp;A)</translation>
    </message>
    <message>
        <source>Arrange &amp;By</source>
        <translation>並べ替え(&amp;B)</translation>
    </message>
    <message>
        <source>&amp;Name</source>
        <translation>名前(&amp;N)</translation>
    </message>
    <message>
        <source>&amp;Size</source>
        <translation>サイズ(&amp;S)</translation>
    </message>
    <message>
        <source>&amp;Type</source>
        <translation>種類(&amp;T)</translation>
    </message>
    <message>
        <source>Date &amp;Created</source>
        <translation>作成日時(&amp;C)</translation>
    </message>
    <message>
        <source>&amp;Refresh</source>
        <translation>最新の情報に更新(&amp;R)</translation>
    </message>
    <message>
        <source>Lar&amp;ge Icons</source>
        <translation>大アイコン(&amp;G)</translation>
    </message>
    <message>
        <source>&amp;Icons</source>
        <translation>アイコン(&amp;I)</translation>
    </message>
    <message>
        <source>&amp;Details</source>
        <translation>詳細(&amp;D)</translation>
    </message>
    <message>
        <source>S&amp;mall Icons</source>
        <translation>小アイコン(&amp;M)</translation>
    </message>
    <message>
        <source>&amp;List</source>
        <translation>一覧(&amp;L)</translation>
    </message>
    <message>
        <source>Title</source>
        <translation>タイトル</translation>
    </message>
    <message>
        <source>File Name</source>
        <translation>ファイル名</translation>
    </message>
    <message>
        <source>N/A</source>
        <translation>不明</translation>
    </message>
    <message>
        <source>Total...</source>
        <translation>合計...</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>キャンセル</translation>
    </message>
    <message>
        <source>About NimbexShell</source>
        <translation>NimbexShell について</translation>
    </message>
    <message>
        <source>%1 Version %2</source>
        <translation>%1 バージョン %2</translation>
    </message>
    <message>
        <source>All rights reserved.</source>
        <translation>無断複写・転載を禁じます。</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>There are still some remote files opened:</source>
        <translation>まだ開いているリモート ファイルがあります:</translation>
    </message>
    <message>
        <source>Would you like to exit NimbexShell application?</source>
        <translation>NimbexShell アプリケーションを終了しますか?</translation>
    </message>
    <message>
        <source>Yes</source>
        <translation>はい</translation>
    </message>
    <message>
        <source>No</source>
        <translation>いいえ</translation>
    </message>
    <message>
        <source>NimbexShell</source>
        <translation>NimbexShell</translation>
    </message>
    <message>
        <source>This configuration dialog is not available yet.</source>
        <translation>この設定ダイアログはまだ利用できません。</translation>
    </message>
</context>
</TS>
