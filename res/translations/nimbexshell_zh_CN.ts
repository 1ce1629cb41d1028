<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>NbxStrings</name>
    <message>
        <source>Please close other application windows before switching to node configuration.</source>
        <translation>切换到节点配置之前，请关闭其他应用程序窗口。</translation>
    </message>
    <message>
        <source>Could not retrieve the node name!
Please double check your node configuration and Internet connection.</source>
        <translation>无法获取节点名称！
请再次检查您的节点配置和互联网连接。</translation>
    </message>
    <message>
        <source>Connection Failure. Please check your Internet connection.</source>
        <translation>连接失败。请检查您的互联网连接。</translation>
    </message>
    <message>
        <source>Authentication Failure, Please check your Nimbex node configuration.</source>
        <translation>身份验证失败，请检查您的 Nimbex 节点配置。</translation>
    </message>
    <message>
        <source>Specified folder does not exist!</source>
        <translation>指定的文件夹不存在！</translation>
    </message>
    <message>
        <source>Clould not connect to Nimbex! The node is off-line.</source>
        <translation>无法连接到 Nimbex！该节点处于离线状态。</translation>
    </message>
    <message>
        <source>Error: %d</source>
        <translation>错误：%d</translation>
    </message>
    <message>
        <source>Windows Sockets initialization failed!</source>
        <translation>Windows Sockets 初始化失败！</translation>
    </message>
    <message>
        <source>OLE Liblary support initialization failed!</source>
        <translation>OLE 库支持初始化失败！</translation>
    </message>
    <message>
        <source>Please install MSXML 6.0 or later before running NimbexShell.</source>
        <translation>运行 NimbexShell 之前，请先安装 MSXML 6.0 或更高版本。</translation>
    </message>
    <message>
        <source>Please wait for transfer operation to finish before continuing.</source>
        <translation>请等待传输操作完成后再继续。</translation>
    </message>
    <message>
        <source>Specified node was not found!</source>
        <translation>未找到指定的节点！</translation>
    </message>
    <message>
        <source>Would you like to delete selected configurations?</source>
        <translation>是否删除所选配置？</translation>
    </message>
    <message>
        <source>Would you like to delete selected files?</source>
        <translation>是否删除所选文件？</translation>
    </message>
    <message>
        <source>Unknown command-line parameter!</source>
        <translation>未知的命令行参数！</translation>
    </message>
    <message>
        <source>Select a folder where to create the shortcut.</source>
        <translation>请选择要在其中创建快捷方式的文件夹。</translation>
    </message>
    <message>
        <source>Could not access the shared folder!
Please double check your shared folder configuration and Internet connection.</source>
        <translation>无法访问共享文件夹！
请再次检查您的共享文件夹配置和互联网连接。</translation>
    </message>
    <message>
        <source>Would you like to overwrite files?</source>
        <translation>是否覆盖文件？</translation>
    </message>
    <message>
        <source>New version of NimbexShell is available.
Would you like to update?</source>
        <translation>NimbexShell 有新版本可用。
是否立即更新？</translation>
    </message>
    <message>
        <source>Failed to launch NimbexShell Installer!</source>
        <translation>无法启动 NimbexShell 安装程序！</translation>
    </message>
    <message>
        <source>NimbexShell version is up to date.</source>
        <translation>NimbexShell 已是最新版本。</translation>
    </message>
    <message>
        <source>Could not connect to Nimbex! Operation timed out.</source>
        <translation>无法连接到 Nimbex！操作超时。</translation>
    </message>
    <message>
        <source>Could not retrieve nodes!
Please double check your E-mail/Password and Internet connection.</source>
        <translation>无法获取节点！
请再次检查您的电子邮件/密码和互联网连接。</translation>
    </message>
    <message>
        <source>The contents of file &quot;%s&quot; has been modified.
Would you like to upload the modified file to Nimbex?</source>
        <translation>文件“%s”的内容已被修改。
是否将修改后的文件上传到 Nimbex？</translation>
    </message>
    <message>
        <source>Downloading...</source>
        <translation>正在下载...</translation>
    </message>
    <message>
        <source>Uploading...</source>
        <translation>正在上传...</translation>
    </message>
    <message>
        <source>Copying...</source>
        <translation>正在复制...</translation>
    </message>
    <message>
        <source>Moving...</source>
        <translation>正在移动...</translation>
    </message>
    <message>
        <source>Preparing...</source>
        <translation>正在准备...</translation>
    </message>
    <message>
        <source>1 object</source>
        <translation>1 个对象</translation>
    </message>
    <message>
        <source>%d objects</source>
        <translation>%d 个对象</translation>
    </message>
    <message>
        <source>Status:%s Device:%s Node Name:%s User Name:%s</source>
        <translation>状态：%s  设备：%s  节点名称：%s  用户名：%s</translation>
    </message>
    <message>
        <source>%d objects selected</source>
        <translation>已选择 %d 个对象</translation>
    </message>
    <message>
        <source>1 object selected</source>
        <translation>已选择 1 个对象</translation>
    </message>
    <message>
        <source>Type:%s Date Created:%s Size:%s</source>
        <translation>类型：%s  创建日期：%s  大小：%s</translation>
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
        <translation>添加节点</translation>
    </message>
    <message>
        <source>Add new Nimbex node</source>
        <translation>添加新的 Nimbex 节点</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>名称</translation>
    </message>
    <message>
        <source>Device</source>
        <translation>设备</translation>
    </message>
    <message>
        <source>Node Name</source>
        <translation>节点名称</translation>
    </message>
    <message>
        <source>User Name</source>
        <translation>用户名</translation>
    </message>
    <message>
        <source>Add Shared Folder</source>
        <translation>添加共享文件夹</translation>
    </message>
    <message>
        <source>Add new Shared Folder</source>
        <translation>添加新的共享文件夹</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>状态</translation>
    </message>
    <message>
        <source>Online</source>
        <translation>在线</translation>
    </message>
    <message>
        <source>Offline</source>
        <translation>离线</translation>
    </message>
    <message>
        <source>Unknown</source>
        <translation>未知</translation>
    </message>
    <message>
        <source>Configuration</source>
        <translation>配置</translation>
    </message>
    <message>
        <source>Cloud</source>
        <translation>云</translation>
    </message>
    <message>
        <source>Devices</source>
        <translation>设备</translation>
    </message>
    <message>
        <source>..</source>
        <translation>..</translation>
    </message>
    <message>
        <source>File Folder</source>
        <translation>文件夹</translation>
    </message>
    <message>
        <source>File</source>
        <translation>文件</translation>
    </message>
    <message>
        <source>%s File</source>
        <translation>%s 文件</translation>
    </message>
    <message>
        <source>Size</source>
        <translation>大小</translation>
    </message>
    <message>
        <source>Type</source>
        <translation>类型</translation>
    </message>
    <message>
        <source>Date Created</source>
        <translation>创建日期</translation>
    </message>
    <message>
        <source>New Folder</source>
        <translation>新建文件夹</translation>
    </message>
    <message>
        <source>New Folder (%d)</source>
        <translation>新建文件夹 (%d)</translation>
    </message>
    <message>
        <source>File Name</source>
        <translation>文件名</translation>
    </message>
    <message>
        <source>State</source>
        <translation>状态</translation>
    </message>
    <message>
        <source>Modified</source>
        <translation>已修改</translation>
    </message>
    <message>
        <source>Remote Path</source>
        <translation>远程路径</translation>
    </message>
    <message>
        <source>Opened</source>
        <translation>已打开</translation>
    </message>
    <message>
        <source>Closed</source>
        <translation>已关闭</translation>
    </message>
    <message>
        <source>Yes</source>
        <translation>是</translation>
    </message>
    <message>
        <source>No</source>
        <translation>否</translation>
    </message>
    <message>
        <source>Add Node Configuration</source>
        <translation>添加节点配置</translation>
    </message>
    <message>
        <source>Edit Node Configuration</source>
        <translation>编辑节点配置</translation>
    </message>
    <message>
        <source>New Node</source>
        <translation>新节点</translation>
    </message>
    <message>
        <source>Add Shared Folder Configuration</source>
        <translation>添加共享文件夹配置</translation>
    </message>
    <message>
        <source>Edit Shared Folder Configuration</source>
        <translation>编辑共享文件夹配置</translation>
    </message>
    <message>
        <source>New Shared Folder</source>
        <translation>新共享文件夹</translation>
    </message>
    <message>
        <source>Downloading lastest version of NimbexShell...</source>
        <translation>正在下载最新版本的 NimbexShell...</translation>
    </message>
    <message>
        <source>Checking for Updates...</source>
        <translation>正在检查更新...</translation>
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
        <translation>NimbexShell - 已打开文件列表</translation>
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
        <translation>位置：</translation>
    </message>
    <message>
        <source>Node Configuration</source>
        <translation>节点配置</translation>
    </message>
    <message>
        <source>Node Name:%s
Folder Name:%s
Device:%s
User Name:%s</source>
        <translation>节点名称：%s
文件夹名称：%s
设备：%s
用户名：%s</translation>
    </message>
</context>
<context>
    <name>NbxUi</name>
    <message>
        <source>&amp;File</source>
        <translation>文件(&amp;F)</translation>
    </message>
    <message>
        <source>&amp;Edit</source>
        <translation>编辑(&amp;E)</translation>
    </message>
    <message>
        <source>&amp;View</source>
        <translation>查看(&amp;V)</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>帮助(&amp;H)</translation>
    </message>
    <message>
        <source>New Window (&amp;W)</source>
        <translation>新建窗口(&amp;W)</translation>
    </message>
    <message>
        <source>Exit Application (&amp;X)</source>
        <translation>退出应用程序(&amp;X)</translation>
    </message>
    <message>
        <source>Opened Files List (&amp;O)</source>
        <translation>已打开文件列表(&amp;O)</translation>
    </message>
    <message>
        <source>Check for Updates (&amp;C)</source>
        <translation>检查更新(&amp;C)</translation>
    </message>
    <message>
        <source>Node Configuration</source>
        <translation>节点配置</translation>
    </message>
    <message>
        <source>About NimbexShell...</source>
        <translation>关于 NimbexShell...</translation>
    </message>
    <message>
        <source>&amp;Open</source>
        <translation>打开(&amp;O)</translation>
    </message>
    <message>
        <source>New &amp;Folder</source>
        <translation>新建文件夹(&amp;F)</translation>
    </message>
    <message>
        <source>Create &amp;Shortcut</source>
        <translation>创建快捷方式(&amp;S)</translation>
    </message>
    <message>
        <source>On the &amp;Desktop</source>
        <translation>在桌面上(&amp;D)</translation>
    </message>
    <message>
        <source>In &amp;Documents</source>
        <translation>在文档中(&amp;D)</translation>
    </message>
    <message>
        <source>In Another &amp;Folder...</source>
        <translation>在其他文件夹中(&amp;F)...</translation>
    </message>
    <message>
        <source>Copy &amp;URL</source>
        <translation>复制 URL(&amp;U)</translation>
    </message>
    <message>
        <source>Rena&amp;me</source>
        <translation>重命名(&amp;M)</translation>
    </message>
    <message>
        <source>&amp;Edit Configuration...</source>
        <translation>编辑配置(&amp;E)...</translation>
    </message>
    <message>
        <source>&amp;Delete</source>
        <translation>删除(&amp;D)</translation>
    </message>
    <message>
        <source>Cu&amp;t</source>
        <translation>剪切(&amp;T)</translation>
    </message>
    <message>
        <source>&amp;Copy</source>
        <translation>复制(&amp;C)</translation>
    </message>
    <message>
        <source>&amp;Paste</source>
        <translation>粘贴(&amp;P)</translation>
    </message>
    <message>
        <source>&amp;Undo</source>
        <translation>撤销(&amp;U)</translation>
    </message>
    <message>
        <source>Select &amp;All</source>
        <translation>全选(&amp;A)</translation>
    </message>
    <message>
        <source>Arrange &amp;By</source>
        <translation>排列方式(&amp;B)</translation>
    </message>
    <message>
        <source>&amp;Name</source>
        <translation>名称(&amp;N)</translation>
    </message>
    <message>
        <source>&amp;Size</source>
        <translation>大小(&amp;S)</translation>
    </message>
    <message>
        <source>&amp;Type</source>
        <translation>类型(&amp;T)</translation>
    </message>
    <message>
        <source>Date &amp;Created</source>
        <translation>创建日期(&amp;C)</translation>
    </message>
    <message>
        <source>&amp;Refresh</source>
        <translation>刷新(&amp;R)</translation>
    </message>
    <message>
        <source>Lar&amp;ge Icons</source>
        <translation>大图标(&amp;G)</translation>
    </message>
    <message>
        <source>&amp;Icons</source>
        <translation>图标(&amp;I)</translation>
    </message>
    <message>
        <source>&amp;Details</source>
        <translation>详细信息(&amp;D)</translation>
    </message>
    <message>
        <source>S&amp;mall Icons</source>
        <translation>小图标(&amp;M)</translation>
    </message>
    <message>
        <source>&amp;List</source>
        <translation>列表(&amp;L)</translation>
    </message>
    <message>
        <source>Title</source>
        <translation>标题</translation>
    </message>
    <message>
        <source>File Name</source>
        <translation>文件名</translation>
    </message>
    <message>
        <source>N/A</source>
        <translation>未知</translation>
    </message>
    <message>
        <source>Total...</source>
        <translation>总计...</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>About NimbexShell</source>
        <translation>关于 NimbexShell</translation>
    </message>
    <message>
        <source>%1 Version %2</source>
        <translation>%1 版本 %2</translation>
    </message>
    <message>
        <source>All rights reserved.</source>
        <translation>保留所有权利。</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>确定</translation>
    </message>
    <message>
        <source>There are still some remote files opened:</source>
        <translation>仍有远程文件处于打开状态：</translation>
    </message>
    <message>
        <source>Would you like to exit NimbexShell application?</source>
        <translation>是否退出 NimbexShell 应用程序？</translation>
    </message>
    <message>
        <source>Yes</source>
        <translation>是</translation>
    </message>
    <message>
        <source>No</source>
        <translation>否</translation>
    </message>
    <message>
        <source>NimbexShell</source>
        <translation>NimbexShell</translation>
    </message>
    <message>
        <source>This configuration dialog is not available yet.</source>
        <translation>此配置对话框尚不可用。</translation>
    </message>
</context>
</TS>
