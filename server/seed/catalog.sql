-- The reference service's catalogue: what "varnel-service" loads when it is
-- started without --seed into an empty database. A seed may only insert rows
-- into the catalogue tables (products, product_matches, agent_releases,
-- exclusions, site_settings); loading a seed replaces the whole catalogue.
--
-- product_matches.kind says how an item the agent sends is recognised:
--   name          its display name, exactly (a product's own name always counts)
--   name_prefix   a display name that starts with the value followed by a
--                 version, an edition or a bracket ("7-Zip 24.07 (x64)")
--   exe           the file name of its program
--   md5           an MD5 digest it carries (program file, signature, suite)
--   product_code  its Windows Installer product code
-- Names, file names, digests and codes compare without regard to case.
-- Relative addresses are made absolute with the service's public address;
-- "{machineId}" is replaced with the machine's identifier and "{token}" with
-- the token that opens the machine's own page (give it only in the addresses
-- of that machine's pages: the machine page and the welcome page).

INSERT INTO site_settings(name, value) VALUES
  ('exclusion_rev_date', '2024-06-01'),
  ('homepage_url', '/my/{machineId}?token={token}'),
  ('help_url', '/help/'),
  ('welcome_url', '/welcome/?machineId={machineId}&token={token}');

INSERT INTO agent_releases(version, url, release_date) VALUES
  ('1.3.1.55', '/downloads/agent/VarnelSetup-1.3.1.55.msi', '2024-01-15'),
  ('1.3.2.12', '/downloads/agent/VarnelSetup-1.3.2.12.msi', '2024-06-03');

INSERT INTO products(id, name, publisher, current_version, release_date, product_url, download_url, download_is_file, additional_info) VALUES
  (101, 'Mozilla Firefox', 'Mozilla', '127.0.2', '2024-06-25', 'https://www.mozilla.org/firefox/', 'https://download.mozilla.org/?product=firefox-latest-ssl&os=win64&lang=en-US', 0, 'Security and stability update'),
  (102, 'Mozilla Thunderbird', 'Mozilla', '115.12.2', '2024-06-25', 'https://www.thunderbird.net/', 'https://download.mozilla.org/?product=thunderbird-latest-SSL&os=win64&lang=en-US', 0, ''),
  (103, 'Google Chrome', 'Google LLC', '126.0.6478.127', '2024-06-24', 'https://www.google.com/chrome/', 'https://dl.google.com/chrome/install/latest/chrome_installer.exe', 1, 'Security update'),
  (104, 'Microsoft Edge', 'Microsoft Corporation', '126.0.2592.81', '2024-06-27', 'https://www.microsoft.com/edge', 'https://www.microsoft.com/edge/download', 0, ''),
  (105, 'Opera', 'Opera Software', '111.0.5168.55', '2024-06-26', 'https://www.opera.com/', 'https://www.opera.com/download', 0, ''),
  (106, 'Brave', 'Brave Software Inc', '1.67.119', '2024-06-25', 'https://brave.com/', 'https://laptop-updates.brave.com/latest/winx64', 0, ''),
  (107, '7-Zip', 'Igor Pavlov', '24.07', '2024-06-19', 'https://www.7-zip.org/', 'https://www.7-zip.org/a/7z2407-x64.exe', 1, ''),
  (108, 'WinRAR', 'win.rar GmbH', '7.01', '2024-05-12', 'https://www.win-rar.com/', 'https://www.win-rar.com/fileadmin/winrar-versions/winrar/winrar-x64-701.exe', 1, ''),
  (109, 'VLC media player', 'VideoLAN', '3.0.21', '2024-06-10', 'https://www.videolan.org/vlc/', 'https://get.videolan.org/vlc/3.0.21/win64/vlc-3.0.21-win64.exe', 1, ''),
  (110, 'Notepad++', 'Notepad++ Team', '8.6.8', '2024-05-29', 'https://notepad-plus-plus.org/', 'https://github.com/notepad-plus-plus/notepad-plus-plus/releases/download/v8.6.8/npp.8.6.8.Installer.x64.exe', 1, ''),
  (111, 'Adobe Acrobat Reader', 'Adobe Inc.', '24.002.20857', '2024-06-11', 'https://www.adobe.com/acrobat/pdf-reader.html', 'https://get.adobe.com/reader/', 0, 'Security update'),
  (112, 'Foxit PDF Reader', 'Foxit Software Inc.', '2024.2.2.25170', '2024-06-04', 'https://www.foxit.com/pdf-reader/', 'https://www.foxit.com/downloads/', 0, ''),
  (113, 'LibreOffice', 'The Document Foundation', '24.2.4.2', '2024-06-06', 'https://www.libreoffice.org/', 'https://www.libreoffice.org/download/download-libreoffice/', 0, ''),
  (114, 'GIMP', 'The GIMP Team', '2.10.38', '2024-05-03', 'https://www.gimp.org/', 'https://download.gimp.org/gimp/v2.10/windows/gimp-2.10.38-setup.exe', 1, ''),
  (115, 'Inkscape', 'Inkscape Project', '1.3.2', '2023-11-25', 'https://inkscape.org/', 'https://inkscape.org/release/', 0, ''),
  (116, 'Audacity', 'Audacity Team', '3.5.1', '2024-04-22', 'https://www.audacityteam.org/', 'https://www.audacityteam.org/download/', 0, ''),
  (117, 'KeePass Password Safe', 'Dominik Reichl', '2.57', '2024-06-08', 'https://keepass.info/', 'https://keepass.info/download.html', 0, ''),
  (118, 'PuTTY', 'Simon Tatham', '0.81', '2024-04-15', 'https://www.chiark.greenend.org.uk/~sgtatham/putty/', 'https://the.earth.li/~sgtatham/putty/latest/w64/putty-64bit-0.81-installer.msi', 1, 'Fixes a key-recovery weakness (NIST P-521)'),
  (119, 'WinSCP', 'Martin Prikryl', '6.3.3', '2024-04-16', 'https://winscp.net/', 'https://winscp.net/eng/download.php', 0, ''),
  (120, 'FileZilla Client', 'Tim Kosse', '3.67.1', '2024-06-17', 'https://filezilla-project.org/', 'https://filezilla-project.org/download.php?type=client', 0, ''),
  (121, 'FileZilla Server', 'Tim Kosse', '1.8.2', '2024-05-13', 'https://filezilla-project.org/', 'https://filezilla-project.org/download.php?type=server', 0, ''),
  (122, 'Python 3.12', 'Python Software Foundation', '3.12.4', '2024-06-06', 'https://www.python.org/', 'https://www.python.org/ftp/python/3.12.4/python-3.12.4-amd64.exe', 1, ''),
  (123, 'Git', 'The Git Development Community', '2.45.2', '2024-06-03', 'https://git-scm.com/', 'https://github.com/git-for-windows/git/releases/download/v2.45.2.windows.1/Git-2.45.2-64-bit.exe', 1, ''),
  (124, 'GitHub Desktop', 'GitHub, Inc.', '3.4.2', '2024-06-20', 'https://desktop.github.com/', 'https://central.github.com/deployments/desktop/desktop/latest/win32', 0, ''),
  (125, 'Node.js', 'OpenJS Foundation', '20.15.0', '2024-06-20', 'https://nodejs.org/', 'https://nodejs.org/dist/v20.15.0/node-v20.15.0-x64.msi', 1, 'Long-term support release'),
  (126, 'Microsoft Visual Studio Code', 'Microsoft Corporation', '1.90.2', '2024-06-18', 'https://code.visualstudio.com/', 'https://code.visualstudio.com/sha/download?build=stable&os=win32-x64-user', 0, ''),
  (127, 'Zoom Workplace', 'Zoom Video Communications, Inc.', '6.1.1', '2024-06-17', 'https://zoom.us/', 'https://zoom.us/client/latest/ZoomInstallerFull.exe', 1, ''),
  (128, 'Skype', 'Skype Technologies S.A.', '8.122.0.205', '2024-06-12', 'https://www.skype.com/', 'https://go.skype.com/windows.desktop.download', 0, ''),
  (129, 'Spotify', 'Spotify AB', '1.2.40.599', '2024-06-18', 'https://www.spotify.com/download/', 'https://download.scdn.co/SpotifySetup.exe', 1, ''),
  (130, 'Steam', 'Valve Corporation', '2.10.91.91', '2024-06-11', 'https://store.steampowered.com/about/', 'https://cdn.akamai.steamstatic.com/client/installer/SteamSetup.exe', 1, ''),
  (131, 'Dropbox', 'Dropbox, Inc.', '201.4.5380', '2024-06-12', 'https://www.dropbox.com/install', 'https://www.dropbox.com/download?plat=win', 0, ''),
  (132, 'TeamViewer', 'TeamViewer Germany GmbH', '15.54.6', '2024-06-13', 'https://www.teamviewer.com/', 'https://download.teamviewer.com/download/TeamViewer_Setup_x64.exe', 1, ''),
  (133, 'Wireshark', 'The Wireshark developer community', '4.2.5', '2024-05-15', 'https://www.wireshark.org/', 'https://2.na.dl.wireshark.org/win64/Wireshark-4.2.5-x64.exe', 1, ''),
  (134, 'OBS Studio', 'OBS Project', '30.1.2', '2024-04-04', 'https://obsproject.com/', 'https://cdn-fastly.obsproject.com/downloads/OBS-Studio-30.1.2-Full-Installer-x64.exe', 1, ''),
  (135, 'HandBrake', 'The HandBrake Team', '1.8.0', '2024-06-01', 'https://handbrake.fr/', 'https://handbrake.fr/downloads.php', 0, ''),
  (136, 'Paint.NET', 'dotPDN LLC', '5.0.13', '2024-03-12', 'https://www.getpaint.net/', 'https://www.getpaint.net/download.html', 0, ''),
  (137, 'IrfanView', 'Irfan Skiljan', '4.67', '2024-04-02', 'https://www.irfanview.com/', 'https://www.irfanview.com/64bit.htm', 0, ''),
  (138, 'Everything', 'voidtools', '1.4.1.1024', '2023-05-26', 'https://www.voidtools.com/', 'https://www.voidtools.com/Everything-1.4.1.1024.x64-Setup.exe', 1, ''),
  (139, 'ShareX', 'ShareX Team', '16.1.0', '2024-05-05', 'https://getsharex.com/', 'https://github.com/ShareX/ShareX/releases/download/v16.1.0/ShareX-16.1.0-setup.exe', 1, ''),
  (140, 'qBittorrent', 'The qBittorrent project', '4.6.5', '2024-05-26', 'https://www.qbittorrent.org/', 'https://www.qbittorrent.org/download', 0, ''),
  (141, 'Blender', 'Blender Foundation', '4.1.1', '2024-04-16', 'https://www.blender.org/', 'https://www.blender.org/download/', 0, ''),
  (142, 'calibre', 'Kovid Goyal', '7.13.0', '2024-06-21', 'https://calibre-ebook.com/', 'https://calibre-ebook.com/dist/win64', 0, ''),
  (143, 'Java 8', 'Oracle Corporation', '8.0.4110.9', '2024-04-16', 'https://www.java.com/', 'https://www.java.com/download/', 0, 'Critical Patch Update'),
  (144, 'Malwarebytes', 'Malwarebytes', '5.1.6.115', '2024-06-18', 'https://www.malwarebytes.com/', 'https://www.malwarebytes.com/mwb-download/thankyou', 0, ''),
  (145, 'CCleaner', 'Piriform Software Ltd', '6.25.11131', '2024-06-18', 'https://www.ccleaner.com/', 'https://www.ccleaner.com/ccleaner/download', 0, ''),
  (146, 'Greenshot', 'Greenshot', '1.2.10.6', '2017-08-18', 'https://getgreenshot.org/', 'https://getgreenshot.org/downloads/', 0, '');

INSERT INTO product_matches(product_id, kind, value) VALUES
  (101, 'name_prefix', 'Mozilla Firefox'), (101, 'exe', 'firefox.exe'),
  (102, 'name_prefix', 'Mozilla Thunderbird'), (102, 'exe', 'thunderbird.exe'),
  (103, 'exe', 'chrome.exe'),
  (104, 'exe', 'msedge.exe'),
  (105, 'name_prefix', 'Opera Stable'), (105, 'exe', 'opera.exe'),
  (106, 'exe', 'brave.exe'),
  (107, 'name_prefix', '7-Zip'), (107, 'exe', '7zFM.exe'),
  (107, 'product_code', '{23170F69-40C1-2702-2301-000001000000}'),
  (107, 'product_code', '{23170F69-40C1-2702-2201-000001000000}'),
  (108, 'name_prefix', 'WinRAR'), (108, 'exe', 'WinRAR.exe'),
  (109, 'exe', 'vlc.exe'),
  (110, 'name_prefix', 'Notepad++'), (110, 'exe', 'notepad++.exe'),
  (111, 'name_prefix', 'Adobe Acrobat Reader'), (111, 'exe', 'AcroRd32.exe'),
  (112, 'name_prefix', 'Foxit PDF Reader'), (112, 'exe', 'FoxitPDFReader.exe'),
  (113, 'name_prefix', 'LibreOffice'), (113, 'exe', 'soffice.exe'),
  (114, 'name_prefix', 'GIMP'), (114, 'exe', 'gimp-2.10.exe'),
  (115, 'exe', 'inkscape.exe'), (115, 'product_code', '{81922150-317E-4BB0-A31D-FF1C14F707C5}'),
  (116, 'name_prefix', 'Audacity'), (116, 'exe', 'Audacity.exe'),
  (117, 'name_prefix', 'KeePass Password Safe'), (117, 'exe', 'KeePass.exe'),
  (118, 'name_prefix', 'PuTTY'), (118, 'exe', 'putty.exe'),
  (118, 'product_code', '{C5B3D5A4-9C3E-4F4B-8E7B-3D0E3A2F1B61}'),
  (119, 'name_prefix', 'WinSCP'), (119, 'exe', 'WinSCP.exe'),
  (120, 'name_prefix', 'FileZilla'), (120, 'exe', 'filezilla.exe'),
  (121, 'name_prefix', 'FileZilla Server'), (121, 'exe', 'filezilla-server-gui.exe'),
  (122, 'name_prefix', 'Python 3.12'),
  (123, 'name_prefix', 'Git'), (123, 'exe', 'git-bash.exe'),
  (124, 'exe', 'GitHubDesktop.exe'),
  (125, 'exe', 'node.exe'), (125, 'product_code', '{4B3A1F2D-7C6E-4E0B-9A51-2F8D6C3E9B70}'),
  (126, 'name_prefix', 'Microsoft Visual Studio Code'), (126, 'exe', 'Code.exe'),
  (127, 'name_prefix', 'Zoom'), (127, 'exe', 'Zoom.exe'),
  (128, 'name_prefix', 'Skype'), (128, 'exe', 'Skype.exe'),
  (129, 'exe', 'Spotify.exe'),
  (130, 'exe', 'steam.exe'),
  (131, 'exe', 'Dropbox.exe'),
  (132, 'name_prefix', 'TeamViewer'), (132, 'exe', 'TeamViewer.exe'),
  (133, 'name_prefix', 'Wireshark'), (133, 'exe', 'Wireshark.exe'),
  (134, 'name_prefix', 'OBS Studio'), (134, 'exe', 'obs64.exe'),
  (135, 'exe', 'HandBrake.exe'),
  (136, 'name_prefix', 'paint.net'), (136, 'exe', 'paintdotnet.exe'),
  (136, 'product_code', '{A5C4E1F0-3B2D-4C8A-9E6F-7D1B0C2A3E48}'),
  (137, 'name_prefix', 'IrfanView'), (137, 'exe', 'i_view64.exe'),
  (138, 'name_prefix', 'Everything'), (138, 'exe', 'Everything.exe'),
  (139, 'name_prefix', 'ShareX'), (139, 'exe', 'ShareX.exe'),
  (140, 'name_prefix', 'qBittorrent'), (140, 'exe', 'qbittorrent.exe'),
  (141, 'name_prefix', 'blender'), (141, 'exe', 'blender.exe'),
  (141, 'product_code', '{0E4F9C2B-6D1A-4B7E-8C3F-5A2D9E1B4C67}'),
  (142, 'name_prefix', 'calibre'), (142, 'exe', 'calibre.exe'),
  (143, 'name_prefix', 'Java 8 Update'),
  (144, 'name_prefix', 'Malwarebytes'), (144, 'exe', 'mbam.exe'),
  (145, 'exe', 'CCleaner64.exe'),
  (146, 'name_prefix', 'Greenshot'), (146, 'exe', 'Greenshot.exe');

-- Names the agent's scanners leave out (exact, case-sensitive), or patterns
-- (any entry holding a "*") in the agent's regular-expression dialect.
INSERT INTO exclusions(product, name, dir) VALUES
  (NULL, '^Security Update for .*', NULL),
  (NULL, '^Update for Microsoft .*', NULL),
  (NULL, '^Hotfix for .*', NULL),
  ('Microsoft .NET Framework 4.8 Targeting Pack', NULL, NULL),
  ('Microsoft Visual C++ 2015-2022 Redistributable (x64) - 14.38.33135', NULL, NULL),
  ('Microsoft Visual C++ 2015-2022 Redistributable (x86) - 14.38.33135', NULL, NULL),
  (NULL, 'unins000.exe', NULL),
  (NULL, 'uninstall.exe', NULL),
  (NULL, 'setup.exe', NULL),
  (NULL, 'msiexec.exe', NULL),
  (NULL, 'rundll32.exe', 'C:\Windows\System32\rundll32.exe'),
  (NULL, 'explorer.exe', 'C:\Windows\explorer.exe'),
  (NULL, 'dllhost.exe', NULL),
  (NULL, 'conhost.exe', NULL);
