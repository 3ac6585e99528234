<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="cs_CZ">
<context>
    <name>LogWindow</name>
    <message>
        <source>Link log</source>
        <translation>Záznam komunikace</translation>
    </message>
    <message>
        <source>Clear</source>
        <translation>Vymazat</translation>
    </message>
    <message>
        <source>Save…</source>
        <translation>Uložit…</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Zavřít</translation>
    </message>
    <message>
        <source>Save the log</source>
        <translation>Uložit záznam</translation>
    </message>
    <message>
        <source>Warning</source>
        <translation>Upozornění</translation>
    </message>
    <message>
        <source>Could not save the log: </source>
        <translation>Záznam nelze uložit: </translation>
    </message>
</context>
<context>
    <name>Messages</name>
    <message>
        <source>it is not a regular file</source>
        <translation>není to obyčejný soubor</translation>
    </message>
    <message>
        <source>Resistance</source>
        <translation>Odpor</translation>
    </message>
    <message>
        <source>Platinum Pt385 (68)</source>
        <translation>Platina Pt385 (68)</translation>
    </message>
    <message>
        <source>Platinum Pt385 (90)</source>
        <translation>Platina Pt385 (90)</translation>
    </message>
    <message>
        <source>Platinum Pt3916</source>
        <translation>Platina Pt3916</translation>
    </message>
    <message>
        <source>Platinum Pt3926</source>
        <translation>Platina Pt3926</translation>
    </message>
    <message>
        <source>Platinum User</source>
        <translation>Platina Uživatelská</translation>
    </message>
    <message>
        <source>Nickel</source>
        <translation>Nikl</translation>
    </message>
    <message>
        <source>Open</source>
        <translation>Rozpojeno</translation>
    </message>
    <message>
        <source>Short</source>
        <translation>Zkrat</translation>
    </message>
    <message>
        <source>Platinum Pt100</source>
        <translation>Platina Pt100</translation>
    </message>
    <message>
        <source>Platinum Pt200</source>
        <translation>Platina Pt200</translation>
    </message>
    <message>
        <source>Platinum Pt500</source>
        <translation>Platina Pt500</translation>
    </message>
    <message>
        <source>Platinum Pt1000</source>
        <translation>Platina Pt1000</translation>
    </message>
    <message>
        <source>Nickel Ni100</source>
        <translation>Nikl Ni100</translation>
    </message>
    <message>
        <source>Nickel Ni1000</source>
        <translation>Nikl Ni1000</translation>
    </message>
    <message>
        <source>Capacitance</source>
        <translation>Kapacita</translation>
    </message>
    <message>
        <source>Unknown</source>
        <translation>Neznámá</translation>
    </message>
    <message>
        <source>User function </source>
        <translation>Uživatelská funkce </translation>
    </message>
    <message>
        <source>Timing </source>
        <translation>Časování </translation>
    </message>
    <message>
        <source>Warning</source>
        <translation>Upozornění</translation>
    </message>
    <message>
        <source>Could not open GPIB.</source>
        <translation>Nenalezen port GPIB.</translation>
    </message>
    <message>
        <source>Could not open serial port.</source>
        <translation>Nenalezen sériový port.</translation>
    </message>
    <message>
        <source>Decade box not found!</source>
        <translation>Dekáda nenalezena.</translation>
    </message>
    <message>
        <source>Communication failed.</source>
        <translation>Komunikace selhala.</translation>
    </message>
    <message>
        <source>Could not set value!</source>
        <translation>Hodnotu nelze nastavit!</translation>
    </message>
    <message>
        <source>Could not save the settings to </source>
        <translation>Nastavení nelze uložit do souboru </translation>
    </message>
</context>
<context>
    <name>OmbrastelPanel</name>
    <message>
        <source>&amp;Interface</source>
        <translation>&amp;Komunikace</translation>
    </message>
    <message>
        <source>&amp;Com port</source>
        <translation>&amp;Port</translation>
    </message>
    <message>
        <source>GPIB &amp;address</source>
        <translation>&amp;Adresa</translation>
    </message>
    <message>
        <source>&amp;Rate</source>
        <translation>&amp;Rychlost</translation>
    </message>
    <message>
        <source>Op&amp;en</source>
        <translation>O&amp;tevřít</translation>
    </message>
    <message>
        <source>Clos&amp;e</source>
        <translation>Zavří&amp;t</translation>
    </message>
    <message>
        <source>&amp;Function</source>
        <translation>&amp;Funkce</translation>
    </message>
    <message>
        <source>U&amp;nit</source>
        <translation>&amp;Jednotka</translation>
    </message>
    <message>
        <source>&amp;Output</source>
        <translation>&amp;Výstup</translation>
    </message>
    <message>
        <source>Temperature stan&amp;dard</source>
        <translation>&amp;Norma</translation>
    </message>
    <message>
        <source>&amp;Temperature scale</source>
        <translation>Stupn&amp;ice</translation>
    </message>
    <message>
        <source>Ground indicator</source>
        <translation>Kontrolka uzemnění</translation>
    </message>
    <message>
        <source>Short indicator</source>
        <translation>Kontrolka zkratu</translation>
    </message>
    <message>
        <source>&amp;Ground</source>
        <translation>&amp;Uzemnění</translation>
    </message>
    <message>
        <source>&amp;Short</source>
        <translation>&amp;Zkrat</translation>
    </message>
    <message>
        <source>Output indicator</source>
        <translation>Kontrolka výstupu</translation>
    </message>
    <message>
        <source>R&amp;un</source>
        <translation>&amp;Spustit</translation>
    </message>
    <message>
        <source>E&amp;xit</source>
        <translation>Kon&amp;ec</translation>
    </message>
    <message>
        <source>not a number</source>
        <translation>není číslo</translation>
    </message>
    <message>
        <source>not a whole number</source>
        <translation>není celé číslo</translation>
    </message>
</context>
<context>
    <name>Panel</name>
    <message>
        <source>Cancel</source>
        <translation>Zrušit</translation>
    </message>
    <message>
        <source>Busy with the decade: the input was ignored.</source>
        <translation>Probíhá komunikace s dekádou: vstup byl ignorován.</translation>
    </message>
    <message>
        <source>Output</source>
        <translation>Výstup</translation>
    </message>
    <message>
        <source>Run</source>
        <translation>Spustit</translation>
    </message>
    <message>
        <source>, s.n. </source>
        <translation>, v.č. </translation>
    </message>
    <message>
        <source>, SW version </source>
        <translation>, verze SW </translation>
    </message>
</context>
<context>
    <name>PanelTools</name>
    <message>
        <source>&amp;Ports…</source>
        <translation>Port&amp;y…</translation>
    </message>
    <message>
        <source>&amp;Log</source>
        <translation>Zázna&amp;m</translation>
    </message>
    <message>
        <source>Link log (Ctrl+L)</source>
        <translation>Záznam komunikace (Ctrl+L)</translation>
    </message>
    <message>
        <source>present</source>
        <translation>přítomen</translation>
    </message>
    <message>
        <source>not found</source>
        <translation>nenalezen</translation>
    </message>
    <message>
        <source>link refused</source>
        <translation>odkaz odmítnut</translation>
    </message>
    <message>
        <source>Se&amp;quence…</source>
        <translation>Sekvence &amp;hodnot…</translation>
    </message>
    <message>
        <source>Step lists and ramps with a plot (Ctrl+E)</source>
        <translation>Seznamy kroků a rampy s grafem (Ctrl+E)</translation>
    </message>
</context>
<context>
    <name>PortsDialog</name>
    <message>
        <source>Serial ports</source>
        <translation>Sériové porty</translation>
    </message>
    <message>
        <source>Device</source>
        <translation>Zařízení</translation>
    </message>
    <message>
        <source>Description</source>
        <translation>Popis</translation>
    </message>
    <message>
        <source>Manufacturer</source>
        <translation>Výrobce</translation>
    </message>
    <message>
        <source>Serial number</source>
        <translation>Výrobní číslo</translation>
    </message>
    <message>
        <source>Vendor</source>
        <translation>Výrobce ID</translation>
    </message>
    <message>
        <source>Product</source>
        <translation>Produkt ID</translation>
    </message>
    <message>
        <source>By-id path</source>
        <translation>Cesta by-id</translation>
    </message>
    <message>
        <source>Assign</source>
        <translation>Přiřadit</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Zavřít</translation>
    </message>
    <message>
        <source>Assign the chosen port to</source>
        <translation>Vybraný port přiřadit k</translation>
    </message>
    <message>
        <source>The system reports no serial port.</source>
        <translation>Systém nehlásí žádný sériový port.</translation>
    </message>
    <message>
        <source>COM%1 is now %2 (link %3).</source>
        <translation>COM%1 je nyní %2 (odkaz %3).</translation>
    </message>
    <message>
        <source>%1 is not a link; it was left as it is.</source>
        <translation>%1 není odkaz; zůstal beze změny.</translation>
    </message>
    <message>
        <source>Could not make the link: %1</source>
        <translation>Odkaz nelze vytvořit: %1</translation>
    </message>
</context>
<context>
    <name>SequenceWindow</name>
    <message>
        <source>not a dwell time in seconds</source>
        <translation>není doba prodlevy v sekundách</translation>
    </message>
    <message>
        <source>not a number</source>
        <translation>není číslo</translation>
    </message>
    <message>
        <source>Sequence</source>
        <translation>Sekvence</translation>
    </message>
    <message>
        <source>&amp;Add</source>
        <translation>Přid&amp;at</translation>
    </message>
    <message>
        <source>Re&amp;move</source>
        <translation>Odeb&amp;rat</translation>
    </message>
    <message>
        <source>&amp;Up</source>
        <translation>Na&amp;horu</translation>
    </message>
    <message>
        <source>Do&amp;wn</source>
        <translation>Do&amp;lů</translation>
    </message>
    <message>
        <source>&amp;Number of steps</source>
        <translation>Počet &amp;kroků</translation>
    </message>
    <message>
        <source>&amp;Open…</source>
        <translation>O&amp;tevřít…</translation>
    </message>
    <message>
        <source>&amp;Pause</source>
        <translation>Pau&amp;za</translation>
    </message>
    <message>
        <source>Resum&amp;e</source>
        <translation>Pokra&amp;čovat</translation>
    </message>
    <message>
        <source>Save p&amp;lot…</source>
        <translation>Uložit &amp;graf…</translation>
    </message>
    <message>
        <source>Add a step after the chosen one (Insert)</source>
        <translation>Přidat krok za vybraný (Insert)</translation>
    </message>
    <message>
        <source>Remove the chosen steps (Delete)</source>
        <translation>Odebrat vybrané kroky (Delete)</translation>
    </message>
    <message>
        <source>Move the chosen step up (Ctrl+Up)</source>
        <translation>Posunout vybraný krok nahoru (Ctrl+šipka nahoru)</translation>
    </message>
    <message>
        <source>Move the chosen step down (Ctrl+Down)</source>
        <translation>Posunout vybraný krok dolů (Ctrl+šipka dolů)</translation>
    </message>
    <message>
        <source>End the run now (Esc)</source>
        <translation>Ukončit běh hned (Esc)</translation>
    </message>
    <message>
        <source>Ramp</source>
        <translation>Rampa</translation>
    </message>
    <message>
        <source>&amp;To</source>
        <translation>&amp;Do</translation>
    </message>
    <message>
        <source>&amp;Dwell [s]</source>
        <translation>&amp;Prodleva [s]</translation>
    </message>
    <message>
        <source>Ramp from</source>
        <translation>Rampa od</translation>
    </message>
    <message>
        <source>Ramp to</source>
        <translation>Rampa do</translation>
    </message>
    <message>
        <source>Step size or number of steps</source>
        <translation>Velikost kroku nebo počet kroků</translation>
    </message>
    <message>
        <source>Dwell of each ramp step in seconds</source>
        <translation>Prodleva každého kroku rampy v sekundách</translation>
    </message>
    <message>
        <source>Steps</source>
        <translation>Kroky</translation>
    </message>
    <message>
        <source>Results</source>
        <translation>Výsledky</translation>
    </message>
    <message>
        <source>Progress</source>
        <translation>Průběh</translation>
    </message>
    <message>
        <source>Plot of the value set and read back</source>
        <translation>Graf nastavené a zpětně přečtené hodnoty</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>Stav</translation>
    </message>
    <message>
        <source>Function</source>
        <translation>Funkce</translation>
    </message>
    <message>
        <source>Set</source>
        <translation>Nastaveno</translation>
    </message>
    <message>
        <source>Read back</source>
        <translation>Přečteno</translation>
    </message>
    <message>
        <source>Time [s]</source>
        <translation>Čas [s]</translation>
    </message>
    <message>
        <source>Value</source>
        <translation>Hodnota</translation>
    </message>
    <message>
        <source>Dwell [s]</source>
        <translation>Prodleva [s]</translation>
    </message>
    <message>
        <source>State</source>
        <translation>Stav kroku</translation>
    </message>
    <message>
        <source>No decade is connected: the steps can be edited, opened and saved.</source>
        <translation>Není připojena žádná dekáda: kroky lze upravovat, otevírat a ukládat.</translation>
    </message>
    <message>
        <source>These steps are for %1, the decade presents %2: choose %1 on the panel, or Clear.</source>
        <translation>Tyto kroky jsou pro %1, dekáda nabízí %2: zvolte na panelu %1, nebo kroky vymažte.</translation>
    </message>
    <message>
        <source>%1: the value cannot be set now.</source>
        <translation>%1: hodnotu nyní nelze nastavit.</translation>
    </message>
    <message>
        <source>not a whole number from 1 to 10000</source>
        <translation>není celé číslo od 1 do 10000</translation>
    </message>
    <message>
        <source>The ramp makes no step, or more than 10000: nothing was changed.</source>
        <translation>Rampa nedává žádný krok, nebo víc než 10000: nic se nezměnilo.</translation>
    </message>
    <message>
        <source>The ramp made %1 steps.</source>
        <translation>Rampa vytvořila %1 kroků.</translation>
    </message>
    <message>
        <source>more than 10000 steps</source>
        <translation>víc než 10000 kroků</translation>
    </message>
    <message>
        <source>line %1: &apos;%2&apos; is no function</source>
        <translation>řádek %1: &apos;%2&apos; není funkce</translation>
    </message>
    <message>
        <source>line %1: the step is for %2, not for %3</source>
        <translation>řádek %1: krok je pro %2, ne pro %3</translation>
    </message>
    <message>
        <source>Open steps</source>
        <translation>Otevřít kroky</translation>
    </message>
    <message>
        <source>Opened %1.</source>
        <translation>Otevřeno %1.</translation>
    </message>
    <message>
        <source>Could not open %1: %2</source>
        <translation>%1 nelze otevřít: %2</translation>
    </message>
    <message>
        <source>Save steps</source>
        <translation>Uložit kroky</translation>
    </message>
    <message>
        <source>Saved %1.</source>
        <translation>Uloženo %1.</translation>
    </message>
    <message>
        <source>Could not save %1: %2</source>
        <translation>%1 nelze uložit: %2</translation>
    </message>
    <message>
        <source>the image could not be written</source>
        <translation>obrázek nelze zapsat</translation>
    </message>
    <message>
        <source>Save plot</source>
        <translation>Uložit graf</translation>
    </message>
    <message>
        <source>Save results</source>
        <translation>Uložit výsledky</translation>
    </message>
    <message>
        <source>The link is busy: the run did not start.</source>
        <translation>Spojení je zaneprázdněno: běh se nespustil.</translation>
    </message>
    <message>
        <source>Running; the panel takes no input until the run ends.</source>
        <translation>Běží; panel do konce běhu nepřijímá vstup.</translation>
    </message>
    <message>
        <source>done</source>
        <translation>hotovo</translation>
    </message>
    <message>
        <source>refused</source>
        <translation>odmítnuto</translation>
    </message>
    <message>
        <source>no answer</source>
        <translation>bez odpovědi</translation>
    </message>
    <message>
        <source>link gone</source>
        <translation>spojení ztraceno</translation>
    </message>
    <message>
        <source>value cannot be set now</source>
        <translation>hodnotu nyní nelze nastavit</translation>
    </message>
    <message>
        <source>running</source>
        <translation>běží</translation>
    </message>
    <message>
        <source>Done: %1 steps.</source>
        <translation>Hotovo: %1 kroků.</translation>
    </message>
    <message>
        <source>Stopped after step %1 of %2.</source>
        <translation>Zastaveno po kroku %1 z %2.</translation>
    </message>
    <message>
        <source>Ended at step %1 of %2: %3.</source>
        <translation>Skončeno u kroku %1 z %2: %3.</translation>
    </message>
    <message>
        <source>Ended after step %1 of %2: the link was closed.</source>
        <translation>Skončeno po kroku %1 z %2: spojení bylo uzavřeno.</translation>
    </message>
    <message>
        <source>Step %1 of %2, %3 left</source>
        <translation>Krok %1 z %2, zbývá %3</translation>
    </message>
    <message>
        <source> (paused)</source>
        <translation> (pozastaveno)</translation>
    </message>
    <message>
        <source>%1 steps, %2</source>
        <translation>%1 kroků, %2</translation>
    </message>
    <message>
        <source>&amp;Clear</source>
        <translation>Vy&amp;mazat</translation>
    </message>
    <message>
        <source>Step si&amp;ze</source>
        <translation>&amp;Velikost kroku</translation>
    </message>
    <message>
        <source>F&amp;ill</source>
        <translation>V&amp;yplnit</translation>
    </message>
    <message>
        <source>&amp;Save…</source>
        <translation>&amp;Uložit…</translation>
    </message>
    <message>
        <source>&amp;Run</source>
        <translation>&amp;Spustit</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>Zastavit</translation>
    </message>
    <message>
        <source>Sa&amp;ve results…</source>
        <translation>Uložit výsl&amp;edky…</translation>
    </message>
    <message>
        <source>&amp;From</source>
        <translation>&amp;Od</translation>
    </message>
    <message>
        <source>the file was not read whole within %1 s</source>
        <translation>soubor nebyl do %1 s přečten celý</translation>
    </message>
</context>
</TS>
